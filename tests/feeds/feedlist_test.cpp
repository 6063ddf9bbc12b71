// The feed list in its two shapes: the window's, one row per title with the totals (ReadFeedList), and every
// feed on its own, as the command line lists and exports them (ReadFeedSources).
#include "feeds/FeedList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "feeds/FeedSources.h"
#include "tests/support/FixtureDb.h"
#include "tests/support/SqlTestHelpers.h"

namespace {

using Row = std::array<std::string, 6>;

// The row of a shared title takes key, flag and icon from one of its feeds, the engine's choice, and rows come
// in the engine's order: settle both on feed 3's values and sorted rows, so the comparison covers the rest.
std::vector<Row> Settled(std::vector<Row> rows) {
    for (auto& row : rows)
        if (row == Row{"Slashdot", row[1], row[2], "4", "0", "http://images.slashdot.org/topics/topicslashdot.png"})
            row = {"Slashdot", row[1], row[2], "3", "1", "http://slashdot.org/favicon.ico"};
    std::sort(rows.begin(), rows.end());
    return rows;
}

// Each feed as "id articles/unread", with "-" for one not subscribed, in the order read; then any error.
std::string Summary(const FeedSources& sources) {
    std::string text;
    for (const FeedSource& f : sources.feeds)
        text += std::to_string(f.id) + " " + std::to_string(f.articles) + "/" + std::to_string(f.unread) + (f.subscribed ? " " : "- ");
    return text + sources.error;
}

TEST(ReadFeedList, GivesOneRowPerTitleOrPerFeedAndTotalsForAllOrSubscribedFeedsAndLeavesTheFileFree) {
    const Row untitled = {"", "0", "", "8", "1", ""};
    const Row apple = {"Apple Hot News", "2", "1", "1", "1", ""};
    const Row tuaw = {"The Unofficial Apple Weblog (TUAW)", "1", "1", "7", "1", "http://www.tuaw.com/media/TUAW_LOGO.JPG"};
    const Row flickr = {"Uploads from jdoe", "0", "", "6", "0", "http://static.flickr.com/20/buddyicons/12345678@N00.jpg"};
    const Row itunes = {"iTunes 25 New Releases", "1", "1", "2", "1", "/images/rss/badge.gif"};
    const Row slashdot = {"Slashdot", "1", "0", "3", "1", "http://slashdot.org/favicon.ico"};
    // Two more articles for feed 4, which shares its title with feed 3 but is not subscribed; and subscribed
    // flags other than 1, which count as not subscribed.
    const std::string more = "INSERT INTO Articles (id,source_id,title,unread) VALUES (2201,4,'Old',1),(2202,4,'Older',NULL);"
                             "UPDATE Sources SET subscribed=2 WHERE id=1; UPDATE Sources SET subscribed=NULL WHERE id=2;";
    const struct { const char* name; std::string sql; bool allFeeds; std::vector<Row> rows; std::vector<std::string> totals; const char* feeds; } cases[] = {
        // count(title) skips the untitled feed; the orphan article counts in all feeds only. Feeds go by title, then key.
        {"all feeds", "", true, {untitled, apple, slashdot, tuaw, flickr, itunes}, {"6", "6", "4"},
         "8 0/0 1 2/1 2 1/1 3 1/0 4 0/0- 7 1/1 6 0/0- "},
        {"subscribed", "", false, {untitled, apple, slashdot, tuaw, itunes}, {"4", "5", "3"}, "8 0/0 1 2/1 2 1/1 3 1/0 7 1/1 "},
        {"all feeds, shared title, odd flags", more, true,
         {untitled, Row{"Apple Hot News", "2", "1", "1", "2", ""}, Row{"Slashdot", "3", "1", "3", "1", "http://slashdot.org/favicon.ico"}, tuaw, flickr,
          Row{"iTunes 25 New Releases", "1", "1", "2", "", "/images/rss/badge.gif"}},
         {"6", "8", "5"}, "8 0/0 1 2/1- 2 1/1- 3 1/0 4 2/1- 7 1/1 6 0/0- "},
        {"subscribed, shared title, odd flags", more, false, {untitled, slashdot, tuaw}, {"2", "2", "1"}, "8 0/0 3 1/0 7 1/1 "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FixtureDb fixture;
        fixture.exec(c.sql);
        auto db = Connected(fixture.path());   // kept open, as until the next refresh
        const FeedListing listing = ReadFeedList(*db, c.allFeeds);
        EXPECT_EQ(Settled(listing.rows), c.rows);
        EXPECT_EQ((std::vector<std::string>{listing.numSources, listing.numArticles, listing.numUnread}), c.totals);
        EXPECT_EQ(Summary(ReadFeedSources(*db, c.allFeeds)), c.feeds);
        EXPECT_TRUE(BrowserCanWrite(fixture.path()));
    }
}

TEST(ReadFeedList, EmptyMissingOrForeignDatabasesGiveNoRowsWithoutFailing) {
    // Totals as "sources articles unread"; the sum of no rows is NULL, so unread is empty text. ReadTotals and
    // ReadFeedSources give the message of the first statement that failed.
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
        SqlConnection db(fixture.folder() + c.file);
        db.Connect();
        for (const bool allFeeds : {true, false}) {
            EXPECT_TRUE(ReadFeedList(db, allFeeds).rows.empty());   // its totals are ReadTotals'
            const FeedTotals totals = ReadTotals(db, allFeeds);
            EXPECT_EQ(totals.numSources + " " + totals.numArticles + " " + totals.numUnread + " " + totals.error,
                      (allFeeds ? c.totalsAll : c.totalsSubscribed) + " " + c.error);
            EXPECT_EQ(Summary(ReadFeedSources(db, allFeeds)), c.error);
        }
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
