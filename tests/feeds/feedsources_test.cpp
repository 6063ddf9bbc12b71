#include "feeds/FeedSources.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/SqlConnection.h"
#include "tests/support/FixtureDb.h"

namespace {

// Each feed as "id articles/unread" with "-" for an unsubscribed one, in the order read; then any error.
std::string Summary(const FeedSources& sources) {
    std::string text;
    for (const FeedSource& f : sources.feeds)
        text += (text.empty() ? "" : " ") + std::to_string(f.id) + " " + std::to_string(f.articles) + "/" +
                std::to_string(f.unread) + (f.subscribed ? "" : "-");
    return text;
}

FeedSources Read(const std::string& path, bool allFeeds) {
    SqlConnection db(path);
    db.Connect();
    return ReadFeedSources(db, allFeeds);
}

TEST(ReadFeedSources, GivesEveryFeedOnItsOwnByTitleThenKey) {
    // Feed 4 shares feed 3's title but keeps its own counts; the untitled feed 8 comes first, and "iTunes" sorts
    // among the capitals. A subscribed value other than 1 counts as not subscribed, as in the window's statements.
    const char* const moreSlashdot = "INSERT INTO Articles (id,source_id,title,unread) VALUES (2201,4,'Old',1),(2202,4,'Older',NULL)";
    const struct { const char* name; const char* sql; bool allFeeds; const char* feeds; } cases[] = {
        {"all feeds", "", true, "8 0/0 1 2/1 2 1/1 3 1/0 4 0/0- 7 1/1 6 0/0-"},
        {"subscribed", "", false, "8 0/0 1 2/1 2 1/1 3 1/0 7 1/1"},
        {"shared title", moreSlashdot, true, "8 0/0 1 2/1 2 1/1 3 1/0 4 2/1- 7 1/1 6 0/0-"},
        {"odd subscribed values", "UPDATE Sources SET subscribed=2 WHERE id=1; UPDATE Sources SET subscribed=NULL WHERE id=2",
         true, "8 0/0 1 2/1- 2 1/1- 3 1/0 4 0/0- 7 1/1 6 0/0-"},
        {"no feeds", "DELETE FROM Sources", true, ""},
        {"no articles table", "DROP TABLE Articles", true, "no such table: Articles"},
    };
    // The addresses are compared with the database through the command line's tests (tests/cli).
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FixtureDb fixture;
        fixture.exec(c.sql);
        const FeedSources sources = Read(fixture.path(), c.allFeeds);
        EXPECT_EQ(Summary(sources) + sources.error, c.feeds);
    }
}

}  // namespace
