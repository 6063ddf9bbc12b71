#include "feeds/FeedList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "tests/support/FixtureDb.h"
#include "tests/support/SqlTestHelpers.h"

namespace {

using Row = std::array<std::string, 6>;

FeedListing Read(const std::string& path, bool allFeeds) {
    SqlConnection db(path);
    db.Connect();
    return ReadFeedList(db, allFeeds);
}

// The row of a shared title takes key, flag and icon from one of its feeds, the engine's choice, and rows come
// in the engine's order: settle both on feed 3's values and sorted rows, so the comparison covers the rest.
std::vector<Row> Settled(std::vector<Row> rows) {
    for (auto& row : rows) {
        if (row[0] == "Slashdot" && row[3] == "4") {
            EXPECT_EQ(row[4] + " " + row[5], "0 http://images.slashdot.org/topics/topicslashdot.png");
            row[3] = "3", row[4] = "1", row[5] = "http://slashdot.org/favicon.ico";
        }
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

TEST(ReadFeedList, GivesOneRowPerTitleAndTotalsForAllOrSubscribedFeeds) {
    const Row untitled = {"", "0", "", "8", "1", ""};
    const Row apple = {"Apple Hot News", "2", "1", "1", "1", ""};
    const Row tuaw = {"The Unofficial Apple Weblog (TUAW)", "1", "1", "7", "1", "http://www.tuaw.com/media/TUAW_LOGO.JPG"};
    const Row flickr = {"Uploads from jdoe", "0", "", "6", "0", "http://static.flickr.com/20/buddyicons/12345678@N00.jpg"};
    const Row itunes = {"iTunes 25 New Releases", "1", "1", "2", "1", "/images/rss/badge.gif"};
    const auto slashdot = [](const char* articles, const char* unread) {
        return Row{"Slashdot", articles, unread, "3", "1", "http://slashdot.org/favicon.ico"};
    };
    // Two more unread articles for feed 4, which shares its title with feed 3 but is not subscribed.
    const char* const moreSlashdot = "INSERT INTO Articles (id,source_id,title,unread) VALUES (2201,4,'Old',1),(2202,4,'Older',1)";
    const struct { const char* name; const char* sql; bool allFeeds; std::vector<Row> rows; std::vector<std::string> totals; } cases[] = {
        // count(title) skips the untitled feed; the orphan article counts in all feeds only
        {"all feeds", "", true, {untitled, apple, slashdot("1", "0"), tuaw, flickr, itunes}, {"6", "6", "4"}},
        {"subscribed", "", false, {untitled, apple, slashdot("1", "0"), tuaw, itunes}, {"4", "5", "3"}},
        {"all feeds, shared title", moreSlashdot, true, {untitled, apple, slashdot("3", "2"), tuaw, flickr, itunes}, {"6", "8", "6"}},
        {"subscribed, shared title", moreSlashdot, false, {untitled, apple, slashdot("1", "0"), tuaw, itunes}, {"4", "5", "3"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FixtureDb fixture;
        fixture.exec(c.sql);
        const FeedListing listing = Read(fixture.path(), c.allFeeds);
        EXPECT_EQ(Settled(listing.rows), c.rows);
        EXPECT_EQ((std::vector<std::string>{listing.numSources, listing.numArticles, listing.numUnread}), c.totals);
    }
}

TEST(ReadFeedList, EmptyMissingOrForeignDatabasesGiveNoRowsWithoutFailing) {
    // Totals as "sources articles unread"; the sum of no rows is NULL, so unread is empty text. ReadTotals gives the
    // same totals with the message of the first statement that failed.
    const struct { const char* name; bool fixture; std::string sql; const char* file; std::string totalsAll, totalsSubscribed, error; } cases[] = {
        {"empty tables", true, "DELETE FROM Articles; DELETE FROM Sources;", "/Database3", "0 0 ", "0 0 ", ""},
        {"no tables", false, "", "/Database3", "  ", "  ", "no such table: Sources"},
        {"other tables only", false, "CREATE TABLE Bookmarks (id INTEGER PRIMARY KEY, url TEXT);", "/Database3", "  ", "  ", "no such table: Sources"},
        {"feeds without an articles table", true, "DROP TABLE Articles;", "/Database3", "6  ", "4  ", "no such table: Articles"},
        {"no file", true, "", "/Missing3", "  ", "  ", "unable to open database file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FixtureDb fixture(c.fixture);
        fixture.exec(c.sql);
        for (const bool allFeeds : {true, false}) {
            const FeedListing listing = Read(fixture.folder() + c.file, allFeeds);
            EXPECT_TRUE(listing.rows.empty());
            EXPECT_EQ(listing.numSources + " " + listing.numArticles + " " + listing.numUnread, allFeeds ? c.totalsAll : c.totalsSubscribed);
            SqlConnection db(fixture.folder() + c.file);
            db.Connect();
            const FeedTotals totals = ReadTotals(db, allFeeds);
            EXPECT_EQ(totals.numSources + " " + totals.numArticles + " " + totals.numUnread + " " + totals.error,
                      (allFeeds ? c.totalsAll : c.totalsSubscribed) + " " + c.error);
        }
    }
}

TEST(ReadFeedList, SendsTheFourStatementsAndLeavesTheFileFree) {
    const std::string summary =
        "SELECT Sources.title, Count(Articles.id) AS numberofarticles, Sum(Articles.unread) AS unreadcount, Sources.id,"
        "Sources.subscribed, Sources.iconURL FROM Sources left JOIN Articles ON Sources.ID = Articles.source_id";
    FixtureDb fixture;
    for (const bool allFeeds : {true, false}) {
        SCOPED_TRACE(allFeeds ? "all feeds" : "subscribed only");
        const std::string sources = allFeeds ? "" : " WHERE Sources.subscribed=1";
        const std::string articles =
            allFeeds ? "" : " WHERE Articles.source_id IN (SELECT Sources.id FROM Sources WHERE Sources.subscribed=1)";
        std::vector<std::string> seen;
        auto db = Connected(fixture.path(), &seen);
        ReadFeedList(*db, allFeeds);
        EXPECT_EQ(seen, (std::vector<std::string>{summary + sources + " GROUP BY Sources.title",
                                                   "SELECT count(Sources.title) as CountOfSources FROM Sources" + sources,
                                                   "SELECT count(Articles.id) as CountOfArticles FROM Articles" + articles,
                                                   "SELECT sum(Articles.unread) as CountOfUnread FROM Articles" + articles}));
        EXPECT_TRUE(BrowserCanWrite(fixture.path())) << "the connection stays open until the next refresh";
    }
}

TEST(LeadingNumber, ReadsTheLeadingDecimalNumberAsA32BitIntegerSaturating) {
    constexpr auto max = std::numeric_limits<std::int32_t>::max(), min = std::numeric_limits<std::int32_t>::min();
    const std::vector<std::pair<std::string, std::int32_t>> cases = {
        {"12", 12}, {"0", 0},   {"", 0},    {"abc", 0}, {"-3", -3}, {"+5", 5}, {"12abc", 12}, {"  7", 7}, {"2.9", 2}, {"-", 0},
        {"2147483647", max}, {"99999999999999999999", max}, {"-2147483648", min}, {"-99999999999", min}};
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(LeadingNumber(text), expected) << '"' << text << '"';
}

}  // namespace
