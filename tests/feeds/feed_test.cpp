#include "feeds/feed.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/FixtureDb.h"
#include "tests/support/SqlTestHelpers.h"

using namespace std::chrono_literals;

namespace {

feed Feed(const std::string& id) {
    feed f;
    f.ID = id;
    return f;
}

// Article id:unread pairs, the state the mark operations change.
std::string UnreadState(FixtureDb& fixture) {
    return fixture.query("SELECT group_concat(id||':'||unread, ' ') FROM (SELECT id, unread FROM Articles ORDER BY id)");
}

std::string SourceKeys(FixtureDb& fixture) {
    return fixture.query("SELECT group_concat(id, ' ') FROM (SELECT id FROM Sources ORDER BY id)");
}

// Every column of every row, except the ones named, as one text: what the program must leave alone.
std::string Snapshot(FixtureDb& fixture, const std::string& table, const std::string& exceptColumns, const std::string& where) {
    const std::string columns = fixture.query(
        "SELECT group_concat('quote('||name||')', '||'',''||') FROM pragma_table_info('" + table + "') WHERE name NOT IN (" +
        exceptColumns + ")");
    return fixture.query("SELECT group_concat(r, '|') FROM (SELECT " + columns + " AS r FROM " + table + " WHERE " + where +
                         " ORDER BY id)");
}

// Fills columns the program never touches, so that a change to them would show.
void FillUnusedColumns(FixtureDb& fixture) {
    fixture.exec(
        "UPDATE Sources SET slider=1, description='about '||id, timespan=2, sort=3, FOAFURL='foaf'||id, lastError='none', "
        "maxDays=30, maxArticles=100, x_monkey='m'||id, x_ninja=x'00ff', x_pirate=2.5, x_robot='r';"
        "UPDATE Articles SET author='a'||id, contents='body '||id, categories='c', iconURL='i', flagged=id%2, collapsed=1;");
}

struct Soundness {
    std::string schema;
    std::string sources;
    std::string articles;
};

const char* const kSchema = "SELECT group_concat(type||' '||name||' '||sql, ';') FROM (SELECT * FROM sqlite_master ORDER BY name)";

Soundness Capture(FixtureDb& fixture, const std::string& removedKey) {
    const std::string kept = removedKey.empty() ? "1" : "id<>" + removedKey;
    const std::string keptArticles = removedKey.empty() ? "1" : "source_id IS NOT " + removedKey;
    return {fixture.query(kSchema), Snapshot(fixture, "Sources", "''", kept),
            Snapshot(fixture, "Articles", "'unread'", keptArticles)};
}

void ExpectSound(FixtureDb& fixture, const Soundness& before, const std::string& removedKey) {
    EXPECT_EQ(fixture.query("PRAGMA integrity_check"), "ok");
    EXPECT_EQ(fixture.query("PRAGMA journal_mode"), "delete");
    EXPECT_EQ(fixture.query("SELECT group_concat(name, ',') FROM (SELECT name FROM sqlite_master WHERE type='index' ORDER BY name)"),
              "ArticleCurrents,ArticleDates,ArticleDatesRcvd,ArticleSources,ArticleUnreads");
    const Soundness after = Capture(fixture, removedKey);
    EXPECT_EQ(after.schema, before.schema);
    EXPECT_EQ(after.sources, before.sources);
    EXPECT_EQ(after.articles, before.articles);
}

TEST(feed, SendsTheStatementsWithTheKeyAppendedAsIs) {
    FixtureDb fixture;
    auto db = Connected(fixture.path());
    std::vector<std::string> seen;
    db->SetTrace([&seen](const std::string& sql) { seen.push_back(sql); });

    feed f = Feed("12");
    f.Load(*db);
    f.MarkRead(*db);
    f.MarkUnread(*db);
    EXPECT_EQ(f.ForceReload(*db), "");
    feed all;
    all.MarkAllRead(*db);

    EXPECT_EQ(seen, (std::vector<std::string>{
                        "SELECT * FROM Sources WHERE id=12",
                        "UPDATE Articles set unread=0 where Articles.source_id=12",
                        "UPDATE Articles set unread=1 where Articles.source_id=12",
                        "BEGIN IMMEDIATE",
                        "DELETE FROM Articles WHERE source_id=12",
                        "DELETE FROM Sources WHERE id=12",
                        "COMMIT",
                        "UPDATE Articles set unread=0",
                    }));
}

TEST(feed, AKeyThatIsNoPlainIntegerRunsNothing) {
    const std::vector<std::string> unsafe = {
        "1 OR 1=1", "", "-", "--1", "12;", " 12", "12 ", "+12", "1e3", "0x1F", "1.0", "1--", "１２", "12\n", std::string("1\0 OR 1", 7)};
    FixtureDb fixture;
    const std::string unread = UnreadState(fixture);
    const std::string keys = SourceKeys(fixture);
    auto db = Connected(fixture.path());
    std::vector<std::string> seen;
    db->SetTrace([&seen](const std::string& sql) { seen.push_back(sql); });

    for (const auto& key : unsafe) {
        SCOPED_TRACE("key \"" + key + "\"");
        EXPECT_FALSE(feed::IsPlainKey(key));
        feed f = Feed(key);
        f.Title = "left over";
        f.Load(*db);
        EXPECT_EQ(f.Title, "");
        EXPECT_EQ(f.URL, "");
        EXPECT_EQ(f.rs, nullptr);
        f.MarkRead(*db);
        f.MarkUnread(*db);
        EXPECT_EQ(f.ForceReload(*db), "");
    }
    EXPECT_TRUE(seen.empty()) << seen.front();
    EXPECT_EQ(UnreadState(fixture), unread);
    EXPECT_EQ(SourceKeys(fixture), keys);

    for (const std::string key : {"1", "-1", "0", "007", "2147483648"}) {
        SCOPED_TRACE(key);
        EXPECT_TRUE(feed::IsPlainKey(key));
    }
}

TEST(feed, LoadReadsTheRowByColumnNamesIgnoringCase) {
    FixtureDb fixture;
    auto db = Connected(fixture.path());
    feed f = Feed("1");
    f.Load(*db);
    EXPECT_EQ(f.URL, "http://www.apple.com/main/rss/hotnews/hotnews.rss");
    EXPECT_EQ(f.FeedDate, "141617700");
    EXPECT_EQ(f.LastCheck, "141648125");
    EXPECT_EQ(f.LastUpdate, "141648128");
    EXPECT_EQ(f.HTTPDate, "Tue, 28 Jun 2005 02:15:00 GMT") << "the browser spells the column HTTPdate";
    EXPECT_EQ(f.Title, "Apple Hot News");
    EXPECT_EQ(f.HomePage, "http://www.apple.com/hotnews/");
    EXPECT_EQ(f.IconURL, "");
    EXPECT_EQ(f.ID, "1");
    EXPECT_NE(f.rs, nullptr);

    f.ID = "3";
    f.Load(*db);
    EXPECT_EQ(f.Title, "Slashdot");
    EXPECT_EQ(f.IconURL, "http://slashdot.org/favicon.ico");
}

TEST(feed, LoadGivesEmptyTextForNullColumnsAndForAMissingRow) {
    FixtureDb fixture;
    auto db = Connected(fixture.path());
    feed f = Feed("8");   // added by the browser, never fetched: title and dates NULL
    f.Load(*db);
    EXPECT_EQ(f.URL, "http://www.macosxhints.com/backend/geeklog.rdf");
    EXPECT_EQ(f.Title, "");
    EXPECT_EQ(f.HTTPDate, "");
    EXPECT_EQ(f.FeedDate, "");
    EXPECT_EQ(f.HomePage, "");
    EXPECT_EQ(f.IconURL, "");

    f.ID = "1";
    f.Load(*db);
    ASSERT_EQ(f.Title, "Apple Hot News");
    f.ID = "5";   // removed by the browser since the list was read
    f.Load(*db);
    EXPECT_FALSE(db->Error());
    for (const std::string* field : {&f.URL, &f.FeedDate, &f.LastCheck, &f.HTTPDate, &f.Title, &f.HomePage, &f.IconURL, &f.LastUpdate})
        EXPECT_EQ(*field, "");
}

TEST(feed, ALoadedRecordHoldsNoLockOnTheFile) {
    FixtureDb fixture;
    auto db = Connected(fixture.path());
    BusyTimeout brief(100ms);
    for (const std::string key : {"1", "5"}) {
        SCOPED_TRACE(key);
        feed f = Feed(key);
        f.Load(*db);   // the record, and its cursor, stay alive while the browser writes
        SqlConnection browser(fixture.path());
        ASSERT_TRUE(browser.Connect());
        EXPECT_TRUE(browser.Execute("UPDATE Sources SET lastCheck=lastCheck+1")) << browser.ErrorMessage();
    }
}

TEST(feed, ChangingOperationsDoWhatTheySayAndNothingElse) {
    struct Case {
        const char* name;
        std::string key;
        std::function<std::string(feed&, SqlConnection&)> run;   // returns what ForceReload says, else empty
        bool removes;   // deletes the feed's row and articles
        std::string unreadAfter;
        std::string sourcesAfter;
    };
    auto markRead = [](feed& f, SqlConnection& db) { f.MarkRead(db); return std::string(); };
    auto markUnread = [](feed& f, SqlConnection& db) { f.MarkUnread(db); return std::string(); };
    auto markAllRead = [](feed& f, SqlConnection& db) { f.MarkAllRead(db); return std::string(); };
    auto forceReload = [](feed& f, SqlConnection& db) { return f.ForceReload(db); };
    const std::string allKeys = "1 2 3 4 6 7 8";
    const std::vector<Case> cases = {
        {"MarkRead with articles", "1", markRead, false, "2003:1 2101:0 2102:0 2103:1 2104:0 2105:1", allKeys},
        {"MarkRead without articles", "4", markRead, false, "2003:1 2101:0 2102:1 2103:1 2104:0 2105:1", allKeys},
        {"MarkUnread", "1", markUnread, false, "2003:1 2101:1 2102:1 2103:1 2104:0 2105:1", allKeys},
        {"MarkUnread another feed", "3", markUnread, false, "2003:1 2101:0 2102:1 2103:1 2104:1 2105:1", allKeys},
        {"MarkAllRead, orphans too", "", markAllRead, false, "2003:0 2101:0 2102:0 2103:0 2104:0 2105:0", allKeys},
        {"ForceReload with articles", "1", forceReload, true, "2003:1 2103:1 2104:0 2105:1", "2 3 4 6 7 8"},
        {"ForceReload without articles", "4", forceReload, true, "2003:1 2101:0 2102:1 2103:1 2104:0 2105:1", "1 2 3 6 7 8"},
        {"ForceReload of a missing feed, its orphans go too", "5", forceReload, true, "2101:0 2102:1 2103:1 2104:0 2105:1", allKeys},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FixtureDb fixture;
        FillUnusedColumns(fixture);
        const Soundness before = Capture(fixture, c.removes ? c.key : "");
        auto db = Connected(fixture.path());
        feed f = Feed(c.key);
        EXPECT_EQ(c.run(f, *db), "");
        EXPECT_FALSE(db->Error()) << db->ErrorMessage();
        db.reset();
        EXPECT_EQ(UnreadState(fixture), c.unreadAfter);
        EXPECT_EQ(SourceKeys(fixture), c.sourcesAfter);
        ExpectSound(fixture, before, c.removes ? c.key : "");
    }
}

TEST(feedBusy, MarkReadWaitsForTheBrowserAndGivesUpWithoutAWord) {
    FixtureDb fixture;
    const std::string unread = UnreadState(fixture);
    {
        BusyTimeout timeout(200ms);
        auto browser = Connected(fixture.path());
        ASSERT_TRUE(browser->Execute("BEGIN IMMEDIATE"));
        auto db = Connected(fixture.path());
        feed f = Feed("1");
        f.MarkRead(*db);   // the lock outlasts the wait: nothing changes, nothing is thrown
        EXPECT_TRUE(db->IsBusy());
        browser->Execute("ROLLBACK");
        EXPECT_EQ(UnreadState(fixture), unread);
    }
    {
        BusyTimeout timeout(3000ms);
        auto db = Connected(fixture.path());
        auto browser = Connected(fixture.path());
        ASSERT_TRUE(browser->Execute("BEGIN EXCLUSIVE"));
        std::thread release([&browser] {
            std::this_thread::sleep_for(100ms);
            browser->Execute("COMMIT");
        });
        feed f = Feed("1");
        f.MarkRead(*db);
        release.join();
        EXPECT_FALSE(db->Error()) << db->ErrorMessage();
        EXPECT_EQ(UnreadState(fixture), "2003:1 2101:0 2102:0 2103:1 2104:0 2105:1");
    }
}

TEST(feedBusy, ForceReloadUnderTheBrowsersLockSaysSoOnceAndKeepsTheFeed) {
    FixtureDb fixture;
    FillUnusedColumns(fixture);
    const Soundness before = Capture(fixture, "");
    const std::string unread = UnreadState(fixture);
    BusyTimeout timeout(200ms);
    auto browser = Connected(fixture.path());
    ASSERT_TRUE(browser->Execute("BEGIN IMMEDIATE"));
    auto db = Connected(fixture.path());
    std::vector<std::string> seen;
    db->SetTrace([&seen](const std::string& sql) { seen.push_back(sql); });

    feed f = Feed("1");
    EXPECT_EQ(f.ForceReload(*db), "database is locked");
    EXPECT_EQ(seen, std::vector<std::string>{"BEGIN IMMEDIATE"}) << "no delete runs without the write lock";
    browser->Execute("ROLLBACK");
    EXPECT_EQ(UnreadState(fixture), unread);
    EXPECT_EQ(SourceKeys(fixture), "1 2 3 4 6 7 8");
    ExpectSound(fixture, before, "");

    EXPECT_EQ(f.ForceReload(*db), "") << "once the lock is gone the reset goes through";
    EXPECT_EQ(SourceKeys(fixture), "2 3 4 6 7 8");
}

TEST(feedBusy, ForceReloadRollsBackWhenItCannotCommitPastAReader) {
    FixtureDb fixture;
    const std::string unread = UnreadState(fixture);
    BusyTimeout timeout(200ms);
    auto browser = Connected(fixture.path());
    auto reading = browser->Select("SELECT id FROM Articles");   // the browser is in the middle of a read
    ASSERT_TRUE(reading && !reading->AtEnd());
    auto db = Connected(fixture.path());

    feed f = Feed("1");
    EXPECT_EQ(f.ForceReload(*db), "database is locked");
    reading.reset();
    EXPECT_EQ(UnreadState(fixture), unread);
    EXPECT_EQ(SourceKeys(fixture), "1 2 3 4 6 7 8");
    EXPECT_EQ(fixture.query("PRAGMA integrity_check"), "ok");
    db->Execute("UPDATE Articles set unread=0 where Articles.source_id=2");
    EXPECT_EQ(fixture.query("SELECT unread FROM Articles WHERE id=2103"), "0") << "no transaction was left open";
}

TEST(feed, ForceReloadIsAllOrNothingWhenAStatementFails) {
    struct Case {
        const char* name;
        const char* trigger;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"articles refuse", "CREATE TRIGGER keep BEFORE DELETE ON Articles BEGIN SELECT RAISE(ABORT, 'articles are kept'); END",
         "articles are kept"},
        {"feed row refuses", "CREATE TRIGGER keep BEFORE DELETE ON Sources BEGIN SELECT RAISE(ABORT, 'feed is kept'); END",
         "feed is kept"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FixtureDb fixture;
        fixture.exec(c.trigger);
        const std::string unread = UnreadState(fixture);
        auto db = Connected(fixture.path());
        feed f = Feed("1");
        EXPECT_EQ(f.ForceReload(*db), c.message);
        EXPECT_EQ(UnreadState(fixture), unread) << "the articles are back";
        EXPECT_EQ(SourceKeys(fixture), "1 2 3 4 6 7 8");
        EXPECT_EQ(fixture.query("PRAGMA integrity_check"), "ok");
    }
}

TEST(feed, OperationsOnAnUnopenedConnectionFailQuietlyOrWithTheEnginesWords) {
    FixtureDb fixture;
    SqlConnection db(fixture.folder() + "/Missing3");
    ASSERT_FALSE(db.Connect());
    feed f = Feed("1");
    f.Load(db);
    EXPECT_EQ(f.Title, "");
    f.MarkRead(db);
    f.MarkUnread(db);
    f.MarkAllRead(db);
    EXPECT_EQ(f.ForceReload(db), "unable to open database file");
}

}  // namespace
