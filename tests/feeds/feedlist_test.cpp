#include "feeds/FeedList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "platform/SqlConnection.h"
#include "tests/support/FixtureDb.h"

using namespace std::chrono_literals;

namespace {

using Row = std::array<std::string, 6>;

FeedListing Read(const std::string& path, bool allFeeds) {
    SqlConnection db(path);
    db.Connect();
    return ReadFeedList(db, allFeeds);
}

// The row of a shared title takes its key, flag and icon from one of its feeds, the engine's choice;
// rows are in the engine's order. Both are settled here so the comparison covers the rest.
std::vector<Row> Settled(std::vector<Row> rows) {
    for (auto& row : rows) {
        if (row[0] == "Slashdot") {
            EXPECT_TRUE((row[3] == "3" && row[4] == "1" && row[5] == "http://slashdot.org/favicon.ico") ||
                        (row[3] == "4" && row[4] == "0" && row[5] == "http://images.slashdot.org/topics/topicslashdot.png"))
                << row[3] << " " << row[4] << " " << row[5];
            row[3] = row[4] = row[5] = "one of 3, 4";
        }
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

const Row kUntitled = {"", "0", "", "8", "1", ""};
const Row kApple = {"Apple Hot News", "2", "1", "1", "1", ""};
const Row kTuaw = {"The Unofficial Apple Weblog (TUAW)", "1", "1", "7", "1", "http://www.tuaw.com/media/TUAW_LOGO.JPG"};
const Row kFlickr = {"Uploads from jdoe", "0", "", "6", "0", "http://static.flickr.com/20/buddyicons/12345678@N00.jpg"};
const Row kItunes = {"iTunes 25 New Releases", "1", "1", "2", "1", "/images/rss/badge.gif"};

TEST(ReadFeedList, AllFeedsWithTotalsCountedFromTheTables) {
    FixtureDb fixture;
    const FeedListing listing = Read(fixture.path(), true);
    EXPECT_EQ(Settled(listing.rows),
              (std::vector<Row>{kUntitled, kApple, {"Slashdot", "1", "0", "one of 3, 4", "one of 3, 4", "one of 3, 4"}, kTuaw,
                                kFlickr, kItunes}));
    EXPECT_EQ(listing.numSources, "6") << "count(title) skips the untitled feed";
    EXPECT_EQ(listing.numArticles, "6") << "the orphan article counts";
    EXPECT_EQ(listing.numUnread, "4");
}

TEST(ReadFeedList, SubscribedOnlyRestrictsRowsAndTotals) {
    FixtureDb fixture;
    const FeedListing listing = Read(fixture.path(), false);
    std::vector<Row> rows = listing.rows;
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, (std::vector<Row>{kUntitled, kApple, {"Slashdot", "1", "0", "3", "1", "http://slashdot.org/favicon.ico"},
                                      kTuaw, kItunes}));
    EXPECT_EQ(listing.numSources, "4");
    EXPECT_EQ(listing.numArticles, "5") << "neither the orphan nor unsubscribed feeds count";
    EXPECT_EQ(listing.numUnread, "3");
}

TEST(ReadFeedList, FeedsSharingATitleShareOneRowWithTheirCountsAdded) {
    FixtureDb fixture;
    fixture.exec(
        "INSERT INTO Articles (id,source_id,title,unread) VALUES (2201,4,'Old story',1),(2202,4,'Older story',1);"
        "UPDATE Sources SET subscribed=2 WHERE id=7;");
    const FeedListing all = Read(fixture.path(), true);
    const auto slashdot = std::find_if(all.rows.begin(), all.rows.end(), [](const Row& r) { return r[0] == "Slashdot"; });
    ASSERT_NE(slashdot, all.rows.end());
    EXPECT_EQ((*slashdot)[1], "3");
    EXPECT_EQ((*slashdot)[2], "2");
    EXPECT_EQ(std::count_if(all.rows.begin(), all.rows.end(), [](const Row& r) { return r[0] == "Slashdot"; }), 1);
    const auto tuaw = std::find_if(all.rows.begin(), all.rows.end(), [](const Row& r) { return r[3] == "7"; });
    ASSERT_NE(tuaw, all.rows.end());
    EXPECT_EQ((*tuaw)[4], "2") << "a subscribed value other than 0 or 1 is shown as stored";
    EXPECT_EQ(all.numArticles, "8");
    EXPECT_EQ(all.numUnread, "6");

    const FeedListing subscribed = Read(fixture.path(), false);
    const auto only = std::find_if(subscribed.rows.begin(), subscribed.rows.end(), [](const Row& r) { return r[0] == "Slashdot"; });
    ASSERT_NE(only, subscribed.rows.end());
    EXPECT_EQ(*only, (Row{"Slashdot", "1", "0", "3", "1", "http://slashdot.org/favicon.ico"}));
    EXPECT_EQ(std::count_if(subscribed.rows.begin(), subscribed.rows.end(), [](const Row& r) { return r[3] == "7"; }), 0)
        << "subscribed=2 is not subscribed=1";
    EXPECT_EQ(subscribed.numSources, "3");
    EXPECT_EQ(subscribed.numArticles, "4");
    EXPECT_EQ(subscribed.numUnread, "2");
}

TEST(ReadFeedList, EmptyMissingOrForeignDatabasesGiveNoRowsWithoutFailing) {
    struct Case {
        const char* name;
        bool fixture;
        const char* sql;    // run on the file first
        bool missing;       // connect to a file that is not there
        const char* sourcesAll;
        const char* sourcesSubscribed;
        const char* articles;
    };
    const std::vector<Case> cases = {
        {"empty tables", true, "DELETE FROM Articles; DELETE FROM Sources;", false, "0", "0", "0"},
        {"no tables", false, "", false, "", "", ""},
        {"other tables only", false, "CREATE TABLE Bookmarks (id INTEGER PRIMARY KEY, url TEXT);", false, "", "", ""},
        {"feeds without an articles table", true, "DROP TABLE Articles;", false, "6", "4", ""},
        {"no file", true, "", true, "", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FixtureDb fixture(c.fixture);
        if (*c.sql)
            fixture.exec(c.sql);
        for (const bool allFeeds : {true, false}) {
            const FeedListing listing = Read(c.missing ? fixture.folder() + "/Missing3" : fixture.path(), allFeeds);
            EXPECT_TRUE(listing.rows.empty());
            EXPECT_EQ(listing.numSources, allFeeds ? c.sourcesAll : c.sourcesSubscribed);
            EXPECT_EQ(listing.numArticles, c.articles);
            EXPECT_EQ(listing.numUnread, "") << "the sum of no rows is NULL";
        }
    }
}

TEST(ReadFeedList, SendsTheFourStatementsAndLeavesTheFileFree) {
    const std::string summary =
        "SELECT Sources.title, Count(Articles.id) AS numberofarticles, Sum(Articles.unread) AS unreadcount, Sources.id,"
        "Sources.subscribed, Sources.iconURL FROM Sources left JOIN Articles ON Sources.ID = Articles.source_id";
    const std::string inSubscribed = " WHERE Articles.source_id IN (SELECT Sources.id FROM Sources WHERE Sources.subscribed=1)";
    FixtureDb fixture;
    for (const bool allFeeds : {true, false}) {
        SCOPED_TRACE(allFeeds ? "all feeds" : "subscribed only");
        SqlConnection db(fixture.path());
        ASSERT_TRUE(db.Connect());
        std::vector<std::string> seen;
        db.SetTrace([&seen](const std::string& sql) { seen.push_back(sql); });
        ReadFeedList(db, allFeeds);
        if (allFeeds) {
            EXPECT_EQ(seen, (std::vector<std::string>{summary + " GROUP BY Sources.title",
                                                       "SELECT count(Sources.title) as CountOfSources FROM Sources",
                                                       "SELECT count(Articles.id) as CountOfArticles FROM Articles",
                                                       "SELECT sum(Articles.unread) as CountOfUnread FROM Articles"}));
        } else {
            EXPECT_EQ(seen,
                      (std::vector<std::string>{summary + " WHERE Sources.subscribed=1 GROUP BY Sources.title",
                                                "SELECT count(Sources.title) as CountOfSources FROM Sources WHERE Sources.subscribed=1",
                                                "SELECT count(Articles.id) as CountOfArticles FROM Articles" + inSubscribed,
                                                "SELECT sum(Articles.unread) as CountOfUnread FROM Articles" + inSubscribed}));
        }
        EXPECT_EQ(FeedSummaryStatement(allFeeds), seen.empty() ? "" : seen.front());

        // The connection stays open until the next refresh; the browser must still be able to write.
        const auto saved = SqlConnection::BusyTimeout();
        SqlConnection::SetBusyTimeout(100ms);
        SqlConnection browser(fixture.path());
        ASSERT_TRUE(browser.Connect());
        EXPECT_TRUE(browser.Execute("UPDATE Articles SET unread=unread")) << browser.ErrorMessage();
        SqlConnection::SetBusyTimeout(saved);
    }
}

TEST(LeadingNumber, ReadsTheLeadingDecimalNumberAsA32BitInteger) {
    const std::vector<std::pair<std::string, std::int32_t>> cases = {
        {"12", 12},
        {"0", 0},
        {"", 0},
        {"abc", 0},
        {"-3", -3},
        {"+5", 5},
        {"12abc", 12},
        {"  7", 7},
        {"2.9", 2},
        {"-", 0},
        {"2147483647", std::numeric_limits<std::int32_t>::max()},
        {"99999999999999999999", std::numeric_limits<std::int32_t>::max()},
        {"-2147483648", std::numeric_limits<std::int32_t>::min()},
        {"-99999999999", std::numeric_limits<std::int32_t>::min()},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(LeadingNumber(text), expected) << '"' << text << '"';
}

}  // namespace
