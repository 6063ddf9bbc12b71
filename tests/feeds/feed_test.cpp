#include "feeds/feed.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "tests/support/FixtureDb.h"
#include "tests/support/SqlTestHelpers.h"

namespace {

// Article id:unread pairs, then the Sources keys: all that the operations may change.
const char* const kFixtureState = "2003:1 2101:0 2102:1 2103:1 2104:0 2105:1 / 1 2 3 4 6 7 8";

std::string State(FixtureDb& fixture) {
    return fixture.query("SELECT group_concat(id||':'||unread, ' ') FROM (SELECT id, unread FROM Articles ORDER BY id)") + " / " +
           fixture.query("SELECT group_concat(id, ' ') FROM (SELECT id FROM Sources ORDER BY id)");
}

feed Feed(const std::string& id) {
    feed f;
    f.ID = id;
    return f;
}

std::vector<std::string> Fields(const feed& f) {
    return {f.URL, f.FeedDate, f.LastCheck, f.LastUpdate, f.HTTPDate, f.Title, f.HomePage, f.IconURL};
}

// The schema and every column but unread of the rows that are to stay, as one text.
std::string Untouched(FixtureDb& fixture, const std::string& removedKey) {
    std::string text = fixture.query("SELECT group_concat(sql, ';') FROM (SELECT sql FROM sqlite_master ORDER BY name)");
    for (const auto& [table, key] : {std::pair<std::string, std::string>{"Sources", "id"}, {"Articles", "source_id"}}) {
        const std::string columns = fixture.query("SELECT group_concat('quote('||name||')', '||'',''||') FROM pragma_table_info('" +
                                                  table + "') WHERE name<>'unread'");
        const std::string kept = removedKey.empty() ? "1" : key + " IS NOT " + removedKey;
        text += "\n" + fixture.query("SELECT group_concat(r, '|') FROM (SELECT " + columns + " AS r FROM " + table + " WHERE " + kept +
                                     " ORDER BY id)");
    }
    return text;
}

// Fills columns the program never touches, so that a change to them would show; returns them as Untouched does.
std::string FillUnusedColumns(FixtureDb& fixture, const std::string& removedKey) {
    fixture.exec(
        "UPDATE Sources SET slider=1, description='about '||id, timespan=2, sort=3, FOAFURL='foaf'||id, lastError='none', "
        "maxDays=30, maxArticles=100, x_monkey='m'||id, x_ninja=x'00ff', x_pirate=2.5, x_robot='r';"
        "UPDATE Articles SET author='a'||id, contents='body '||id, categories='c', iconURL='i', flagged=id%2, collapsed=1;");
    return Untouched(fixture, removedKey);
}

void ExpectSound(FixtureDb& fixture, const std::string& untouched, const std::string& removedKey) {
    EXPECT_EQ(fixture.query("PRAGMA integrity_check"), "ok");
    EXPECT_EQ(fixture.query("PRAGMA journal_mode"), "delete") << "the browser's engine cannot open a WAL file";
    EXPECT_EQ(fixture.query("SELECT group_concat(name, ',') FROM (SELECT name FROM sqlite_master WHERE type='index' ORDER BY name)"),
              "ArticleCurrents,ArticleDates,ArticleDatesRcvd,ArticleSources,ArticleUnreads");
    EXPECT_EQ(Untouched(fixture, removedKey), untouched);
}

TEST(feed, SendsTheStatementsWithAPlainKeyAppendedAsIsAndNothingForAnyOtherKey) {
    FixtureDb fixture;
    std::vector<std::string> seen;
    auto db = Connected(fixture.path(), &seen);
    for (const std::string& key : std::vector<std::string>{"1 OR 1=1", "", "-", "--1", "12;", " 12", "12 ", "+12", "1e3", "0x1F", "1.0",
                                                         "1--", "１２", "12\n", std::string("1\0 OR 1", 7)}) {
        SCOPED_TRACE("key \"" + key + "\"");
        EXPECT_FALSE(feed::IsPlainKey(key));
        feed f = Feed(key);
        f.Title = "left over";
        f.Load(*db);
        EXPECT_EQ(Fields(f), std::vector<std::string>(8));
        f.MarkRead(*db);
        f.MarkUnread(*db);
        EXPECT_EQ(f.ForceReload(*db), "");
    }
    EXPECT_EQ(State(fixture), kFixtureState);
    for (const std::string key : {"1", "-1", "0", "007", "2147483648"})
        EXPECT_TRUE(feed::IsPlainKey(key)) << key;

    feed f = Feed("12");
    f.Load(*db);
    f.MarkRead(*db);
    f.MarkUnread(*db);
    EXPECT_EQ(f.ForceReload(*db), "");
    feed().MarkAllRead(*db);
    EXPECT_EQ(seen, (std::vector<std::string>{"SELECT * FROM Sources WHERE id=12", "UPDATE Articles set unread=0 where Articles.source_id=12",
                                               "UPDATE Articles set unread=1 where Articles.source_id=12", "BEGIN IMMEDIATE",
                                               "DELETE FROM Articles WHERE source_id=12", "DELETE FROM Sources WHERE id=12", "COMMIT",
                                               "UPDATE Articles set unread=0"}));
}

TEST(feed, LoadReadsColumnsByNameGivesEmptyTextForNullsAndMissingRowsAndHoldsNoLock) {
    FixtureDb fixture;
    auto db = Connected(fixture.path());
    feed f = Feed("3");
    f.Load(*db);   // the browser spells the column HTTPdate
    EXPECT_EQ(Fields(f), (std::vector<std::string>{"http://rss.slashdot.org/Slashdot/slashdot", "141623280", "141648129", "141648130",
                                                   "Tue, 28 Jun 2005 03:48:00 GMT", "Slashdot", "http://slashdot.org/",
                                                   "http://slashdot.org/favicon.ico"}));
    EXPECT_TRUE(BrowserCanWrite(fixture.path())) << "the record keeps its cursor but no lock";
    f.ID = "8";   // added by the browser, never fetched: all but the URL NULL
    f.Load(*db);
    EXPECT_EQ(Fields(f), (std::vector<std::string>{"http://www.macosxhints.com/backend/geeklog.rdf", "", "", "", "", "", "", ""}));
    f.ID = "5";   // removed by the browser since the list was read
    f.Load(*db);
    EXPECT_EQ(Fields(f), std::vector<std::string>(8));
    EXPECT_FALSE(db->Error());
}

TEST(feed, ChangingOperationsDoWhatTheySayAndNothingElse) {
    const struct { const char* name; std::string key; char op; std::string stateAfter; } cases[] = {
        {"MarkRead with articles", "1", 'r', "2003:1 2101:0 2102:0 2103:1 2104:0 2105:1 / 1 2 3 4 6 7 8"},
        {"MarkRead without articles", "4", 'r', kFixtureState},
        {"MarkUnread", "1", 'u', "2003:1 2101:1 2102:1 2103:1 2104:0 2105:1 / 1 2 3 4 6 7 8"},
        {"MarkUnread another feed", "3", 'u', "2003:1 2101:0 2102:1 2103:1 2104:1 2105:1 / 1 2 3 4 6 7 8"},
        {"MarkAllRead, orphans too", "", 'a', "2003:0 2101:0 2102:0 2103:0 2104:0 2105:0 / 1 2 3 4 6 7 8"},
        {"ForceReload with articles", "1", 'f', "2003:1 2103:1 2104:0 2105:1 / 2 3 4 6 7 8"},
        {"ForceReload without articles", "4", 'f', "2003:1 2101:0 2102:1 2103:1 2104:0 2105:1 / 1 2 3 6 7 8"},
        {"ForceReload of a missing feed, its orphans go too", "5", 'f', "2101:0 2102:1 2103:1 2104:0 2105:1 / 1 2 3 4 6 7 8"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FixtureDb fixture;
        const std::string removed = c.op == 'f' ? c.key : "";
        const std::string untouched = FillUnusedColumns(fixture, removed);
        auto db = Connected(fixture.path());
        feed f = Feed(c.key);
        if (c.op == 'f')
            EXPECT_EQ(f.ForceReload(*db), "");
        else
            c.op == 'r' ? f.MarkRead(*db) : c.op == 'u' ? f.MarkUnread(*db) : f.MarkAllRead(*db);
        EXPECT_FALSE(db->Error()) << db->ErrorMessage();
        EXPECT_EQ(State(fixture), c.stateAfter);
        ExpectSound(fixture, untouched, removed);
    }
}

TEST(feedBusy, MarkReadWaitsForTheBrowserAndGivesUpWithoutAWord) {
    FixtureDb fixture;
    BusyTimeout timeout(200ms);
    auto browser = Connected(fixture.path());
    ASSERT_TRUE(browser->Execute("BEGIN IMMEDIATE"));
    auto db = Connected(fixture.path());
    Feed("1").MarkRead(*db);   // the lock outlasts the wait: nothing changes, nothing is thrown
    EXPECT_TRUE(db->IsBusy());
    ASSERT_TRUE(browser->Execute("COMMIT"));
    EXPECT_EQ(State(fixture), kFixtureState);
    ASSERT_TRUE(browser->Execute("BEGIN EXCLUSIVE"));

    BusyTimeout longer(3000ms);
    std::thread release([&browser] {
        std::this_thread::sleep_for(100ms);
        browser->Execute("COMMIT");
    });
    Feed("1").MarkRead(*db);
    release.join();
    EXPECT_FALSE(db->Error()) << db->ErrorMessage();
    EXPECT_EQ(State(fixture), "2003:1 2101:0 2102:0 2103:1 2104:0 2105:1 / 1 2 3 4 6 7 8");
}

TEST(feedBusy, ForceReloadUnderTheBrowsersLockSaysSoOnceAndKeepsTheFeedWhole) {
    FixtureDb fixture;
    const std::string untouched = FillUnusedColumns(fixture, "");
    BusyTimeout timeout(200ms);
    auto browser = Connected(fixture.path());
    ASSERT_TRUE(browser->Execute("BEGIN IMMEDIATE"));
    std::vector<std::string> seen;
    auto db = Connected(fixture.path(), &seen);
    feed f = Feed("1");
    EXPECT_EQ(f.ForceReload(*db), "database is locked");
    EXPECT_EQ(seen, std::vector<std::string>{"BEGIN IMMEDIATE"}) << "no delete runs without the write lock";
    browser->Execute("ROLLBACK");

    auto reading = browser->Select("SELECT id FROM Articles");   // now a read in progress stops the commit
    ASSERT_TRUE(reading && !reading->AtEnd());
    EXPECT_EQ(f.ForceReload(*db), "database is locked");
    reading.reset();
    EXPECT_EQ(State(fixture), kFixtureState);
    ExpectSound(fixture, untouched, "");
    EXPECT_EQ(f.ForceReload(*db), "") << "no transaction was left open; with the file free the reset goes through";
    EXPECT_EQ(State(fixture), "2003:1 2103:1 2104:0 2105:1 / 2 3 4 6 7 8");
}

TEST(feed, ForceReloadIsAllOrNothingAndSaysWhichStatementFailed) {
    for (const std::string table : {"Articles", "Sources"}) {
        SCOPED_TRACE(table + " refuse");
        FixtureDb fixture;
        fixture.exec("CREATE TRIGGER keep BEFORE DELETE ON " + table + " BEGIN SELECT RAISE(ABORT, '" + table + " are kept'); END");
        auto db = Connected(fixture.path());
        EXPECT_EQ(Feed("1").ForceReload(*db), table + " are kept");
        EXPECT_EQ(State(fixture), kFixtureState) << "the articles are back";
        EXPECT_EQ(fixture.query("PRAGMA integrity_check"), "ok");
    }
    FixtureDb fixture;
    SqlConnection missing(fixture.folder() + "/Missing3");
    ASSERT_FALSE(missing.Connect());
    EXPECT_EQ(Feed("1").ForceReload(missing), "unable to open database file") << "a failure never passes for success";
}

}  // namespace
