// The feed list: one row per feed with its counts, and the totals, read in one go.
#include "feeds/FeedList.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/FixtureDb.h"
#include "tests/support/SqlTestHelpers.h"

namespace {

// Each row as "key:title articles/unread", "-" after an unsubscribed one; then the totals and any error.
std::string Summary(const FeedListing& listing) {
    std::string text;
    for (const FeedRow& r : listing.rows)
        text += std::to_string(r.id) + ":" + r.title + " " + std::to_string(r.articles) + "/" + r.unread +
                (r.isSubscribed ? "" : "-") + (r.subscribed.empty() || r.subscribed == "0" || r.subscribed == "1" ? "" : "(" + r.subscribed + ")") + ", ";
    return text + "| " + listing.numSources + " " + listing.numArticles + " " + listing.numUnread + listing.error;
}

// Every feed listed: the orphan articles count in the totals too.
TEST(ReadFeedList, ASumPastSixtyFourBitsFailsAsTheEnginesDoesAndEmptyTablesGiveNoRows) {
    const struct { const char* name; std::string sql; std::string summary; } cases[] = {
        {"a sum past 64 bits", "INSERT INTO Articles (id,source_id,unread) VALUES (2201,NULL,9223372036854775807),(2202,NULL,1)",
         "|   integer overflow"},
        {"empty tables", "DELETE FROM Articles; DELETE FROM Sources;", "| 0 0 "}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FixtureDb fixture;
        fixture.exec(c.sql);
        auto db = Connected(fixture.path());   // kept open, as until the next refresh
        EXPECT_EQ(Summary(ReadFeedList(*db, true)), c.summary);
        EXPECT_TRUE(BrowserCanWrite(fixture.path())) << "the read is over: the browser can write";
    }
}

TEST(ReadFeedList, WhatIsNoFeedDatabaseGivesNoRowsAndTheEnginesWords) {
    const struct { const char* name; bool fixture; std::string sql; const char* file; std::string error; } cases[] = {
        {"no tables", false, "", "/Database3", "no such table: Sources"},
        {"feeds without an articles table", true, "DROP TABLE Articles;", "/Database3", "no such table: Articles"},
        {"no file", true, "", "/Missing3", "unable to open database file"},
        {"a damaged index on source_id", true, "PRAGMA writable_schema=ON; UPDATE sqlite_schema SET rootpage=(SELECT rootpage "
         "FROM sqlite_schema WHERE name='Sources') WHERE name='ArticleSources';", "/Database3", "database disk image is malformed"},
        {"articles without an unread column", true, "DROP INDEX ArticleUnreads; ALTER TABLE Articles DROP COLUMN unread;", "/Database3",
         "no such column: Articles.unread"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FixtureDb fixture(c.fixture);
        fixture.exec(c.sql);
        SqlConnection db(fixture.folder() + c.file);
        db.Connect();
        for (const bool allFeeds : {true, false}) EXPECT_EQ(Summary(ReadFeedList(db, allFeeds)), "|   " + c.error);
    }
}

// Random small databases against a reckoning made feed by feed with the plainest statements there are: titles
// alike, NULL and in every letter case, odd subscribed flags, unread values of every kind and orphan articles.
TEST(ReadFeedList, AgreesWithAPlainReckoningFeedByFeedOnGeneratedDatabases) {
    std::mt19937 rng(20261207);
    const auto pick = [&rng](const std::vector<std::string>& from) {
        return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(rng)];
    };
    const std::vector<std::string> titles = {"'News'", "'News'", "NULL", "''", "'a'", "'B'", "'b'", "'Ä'"};
    const std::vector<std::string> flags = {"1", "1", "1", "0", "NULL", "2"};
    const std::vector<std::string> numbers = {"NULL", "0", "0", "1", "1", "1", "2", "-1", "1.5", "-0.25", "0.0"};
    const std::vector<std::string> text = {"'x'", "'0'", "'2.5'", "x'01'"};
    // The browser's declared types, and others where numbers may stay text or zeros stay reals.
    const std::vector<std::string> unreadTypes = {"INT(1)", "INT(1)", "INT(1)", "DOUBLE", "REAL", "TEXT", ""};
    const std::vector<std::string> sourceTypes = {"INTEGER", "INTEGER", "INTEGER", "TEXT", "VARCHAR(9)", "CLOB"};
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        FixtureDb fixture(false);
        const std::string unreadType = pick(unreadTypes);
        std::string sql = "CREATE TABLE Sources (id INTEGER PRIMARY KEY, URL TEXT, subscribed INT(1), title TEXT, "
                          "iconURL TEXT, description TEXT, homePage TEXT);"
                          "CREATE TABLE Articles (id INTEGER PRIMARY KEY, source_id " + pick(sourceTypes) + ", unread " + unreadType + ");"
                          "CREATE INDEX ArticleSources ON Articles (source_id); CREATE INDEX ArticleUnreads ON Articles (unread);";
        const int feeds = std::uniform_int_distribution<int>(0, 7)(rng);
        for (int f = 1; f <= feeds; ++f)
            sql += "INSERT INTO Sources (id, title, subscribed) VALUES (" + std::to_string(f * 3) + "," + pick(titles) +
                   "," + pick(flags) + ");";
        const bool someText = round % 4 == 0;
        for (int a = std::uniform_int_distribution<int>(0, 40)(rng); a > 0; --a) {
            const std::string source = std::uniform_int_distribution<int>(0, 9)(rng) == 0
                                           ? pick({"NULL", "99", "'x'", "6.5"})
                                           : std::to_string(3 * std::uniform_int_distribution<int>(1, std::max(feeds, 1))(rng));
            sql += "INSERT INTO Articles (source_id, unread) VALUES (" + source + "," +
                   (someText && a % 5 == 0 ? pick(text) : pick(numbers)) + ");";
        }
        if (round % 3 == 0)   // an article far from the rest: the unread values looked up in a map, not a dense table
            sql += "INSERT INTO Articles (id, source_id, unread) VALUES (9000000000000000000, 3, " + pick(numbers) + ");";
        ASSERT_TRUE(fixture.exec("PRAGMA synchronous=OFF; BEGIN;" + sql + "COMMIT;"));
        auto db = Connected(fixture.path());
        for (const bool allFeeds : {true, false}) {
            const std::string only = allFeeds ? "" : " WHERE subscribed=1";
            const std::string articles =
                allFeeds ? "Articles" : "Articles WHERE source_id IN (SELECT id FROM Sources WHERE subscribed=1)";
            const std::string expected =
                fixture.query("SELECT group_concat(line, '') FROM (SELECT id || ':' || ifnull(title, '') || ' ' || "
                              "(SELECT count(*) FROM Articles WHERE source_id=s.id) || '/' || "
                              "ifnull((SELECT sum(unread) FROM Articles WHERE source_id=s.id), '') || "
                              "CASE WHEN subscribed=1 THEN '' ELSE '-' END || "
                              "CASE WHEN subscribed IS NULL OR subscribed IN (0, 1) THEN '' ELSE '(' || subscribed || ')' END "
                              "|| ', ' AS line FROM Sources s" + only + " ORDER BY title, id)") +
                "| " + fixture.query("SELECT count(*) || ' ' || (SELECT count(*) FROM " + articles + ") || ' ' || "
                                     "ifnull((SELECT sum(unread) FROM " + articles + "), '') FROM Sources" + only);
            EXPECT_EQ(Summary(ReadFeedList(*db, allFeeds)), expected) << (allFeeds ? "all feeds" : "subscribed");
        }
    }
}

TEST(ReadFeedList, TheListAndTheTotalsAgreeWhileAnotherConnectionWrites) {
    FixtureDb fixture;
    fixture.exec("DELETE FROM Articles WHERE source_id NOT IN (SELECT id FROM Sources)");   // every article has its feed
    std::atomic<bool> done{false};
    std::atomic<int> commits{0};
    // The browser's way: a feed comes with its articles and goes with them, and read states flip, each in one
    // transaction, retried at once while the reader holds the file.
    std::thread browser([&] {
        sqlite3* w = nullptr;
        sqlite3_open_v2(fixture.path().c_str(), &w, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_busy_handler(w, [](void*, int) { std::this_thread::yield(); return 1; }, nullptr);
        sqlite3_exec(w, "PRAGMA synchronous=OFF", nullptr, nullptr, nullptr);
        for (int i = 0; !done; ++i) {
            const char* sql = i % 3 == 0 ? "BEGIN; INSERT INTO Sources (id, title, subscribed) VALUES (50, 'New', 1);"
                                           "INSERT INTO Articles (id, source_id, unread) VALUES (3001, 50, 1), (3002, 50, 1); COMMIT;"
                              : i % 3 == 1 ? "BEGIN; DELETE FROM Articles WHERE source_id=50; DELETE FROM Sources WHERE id=50; COMMIT;"
                                           : "UPDATE Articles SET unread=1-unread WHERE id=2101";
            if (sqlite3_exec(w, sql, nullptr, nullptr, nullptr) == SQLITE_OK) ++commits;
            else sqlite3_exec(w, "ROLLBACK", nullptr, nullptr, nullptr);
        }
        sqlite3_close(w);
    });
    int reads = 0;
    for (; reads < 400 || commits < 100; ++reads) {
        ASSERT_LT(reads, 100000) << "the writer never got in";
        auto db = Connected(fixture.path());
        const FeedListing listing = ReadFeedList(*db, reads % 2 == 0);
        long long articles = 0, unread = 0;
        for (const FeedRow& r : listing.rows) {
            articles += r.articles;
            unread += std::atoll(r.unread.c_str());
        }
        ASSERT_EQ(std::to_string(articles) + " " + std::to_string(unread), listing.numArticles + " " + listing.numUnread)
            << "read " << reads << ": " << Summary(listing);
    }
    done = true;
    browser.join();
}

TEST(LeadingNumber, ReadsTheLeadingDecimalNumberAsA32BitIntegerSaturating) {
    constexpr auto max = std::numeric_limits<std::int32_t>::max(), min = std::numeric_limits<std::int32_t>::min();
    const std::vector<std::pair<std::string, std::int32_t>> cases = {
        {"12", 12}, {"0", 0},   {"", 0},    {"abc", 0}, {"-3", -3}, {"+5", 5}, {"12abc", 12}, {"  7", 7}, {"2.9", 2}, {"-", 0},
        {"2147483647", max}, {"99999999999999999999", max}, {"-2147483648", min}, {"-99999999999", min}};
    for (const auto& [text, expected] : cases) EXPECT_EQ(LeadingNumber(text), expected) << '"' << text << '"';
}

}  // namespace
