#include "feeds/feed.h"

#include <gtest/gtest.h>

#include <string>
#include <future>
#include <thread>
#include <vector>

#include "tests/support/FixtureDb.h"
#include "tests/support/SqlTestHelpers.h"

namespace {

std::vector<std::string> Fields(const feed& f) {
    return {f.URL, f.FeedDate, f.LastCheck, f.LastUpdate, f.HTTPDate, f.Title, f.HomePage, f.IconURL};
}

// All that the operations must leave alone: the schema, journal mode and soundness, and every column but
// unread of the rows kept (all but those of removedKey).
std::string Untouched(FixtureDb& fixture, const std::string& removedKey) {
    std::string text = fixture.query("SELECT group_concat(sql, ';')||(SELECT * FROM pragma_journal_mode)||(SELECT * FROM "
                                     "pragma_integrity_check) FROM (SELECT sql FROM sqlite_master ORDER BY name)");
    for (const auto& [table, key] : {std::pair<std::string, std::string>{"Sources", "id"}, {"Articles", "source_id"}}) {
        const std::string columns = fixture.query("SELECT group_concat('quote('||name||')', '||'',''||') FROM pragma_table_info('" +
                                                  table + "') WHERE name<>'unread'");
        text += "\n" + fixture.query("SELECT group_concat(r, '|') FROM (SELECT " + columns + " AS r FROM " + table + " WHERE " + key +
                                     " IS NOT " + (removedKey.empty() ? "''" : removedKey) + " ORDER BY id)");
    }
    return text;
}

// Only such a key is spliced into a statement; the operations below show what any other key does: nothing.
TEST(feed, APlainKeyIsAnOptionalMinusAndDecimalDigits) {
    for (const std::string key : {"1", "-1", "0", "007", "2147483648"}) EXPECT_TRUE(feed::IsPlainKey(key)) << key;
    for (const std::string& key : std::vector<std::string>{"1 OR 1=1", "", "-", "--1", "12;", " 12", "12 ", "+12", "1e3", "0x1F", "1.0",
                                                         "1--", "１２", "12\n", std::string("1\0 OR 1", 7)})
        EXPECT_FALSE(feed::IsPlainKey(key)) << key;
}

TEST(feed, LoadReadsColumnsByNameGivesEmptyTextForNullsMissingRowsAndOtherKeysAndHoldsNoLock) {
    FixtureDb fixture;
    auto db = Connected(fixture.path());
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"3", {"http://rss.slashdot.org/Slashdot/slashdot", "141623280", "141648129", "141648130", "Tue, 28 Jun 2005 03:48:00 GMT",
               "Slashdot", "http://slashdot.org/", "http://slashdot.org/favicon.ico"}},   // the browser spells the column HTTPdate
        {"3 OR 1=1", std::vector<std::string>(8)},
        {"8", {"http://www.macosxhints.com/backend/geeklog.rdf", "", "", "", "", "", "", ""}},   // never fetched: NULLs
        {"5", std::vector<std::string>(8)}};   // removed by the browser since the list was read
    feed f;   // one record throughout: nothing of an earlier Load may stay
    for (const auto& [key, fields] : cases) {
        f.ID = key;
        f.Load(*db);
        EXPECT_EQ(Fields(f), fields) << key;
        EXPECT_EQ(f.rs == nullptr, !feed::IsPlainKey(key)) << "a key that reaches no statement leaves no cursor";
        EXPECT_TRUE(BrowserCanWrite(fixture.path())) << "the record keeps its cursor but no lock";
    }
    SqlConnection missing(fixture.folder() + "/Missing3");
    f.ID = "3";
    f.Load(*db);
    f.Load(missing);
    EXPECT_EQ(Fields(f), std::vector<std::string>(8)) << "a query that failed";
    EXPECT_EQ(f.ForceReload(missing), "unable to open database file") << "a failure never passes for success";
}

TEST(feed, OperationsDoWhatTheySayAndNothingElseOrNothingAtAll) {
    // What the browser does meanwhile; Nested: the connection is already in a transaction, so no write lock is had.
    enum Browser { Away, Writing, Committing, Reading, Nested };
    // What each operation says of a failure: ForceReload returns it, the others leave it on the connection.
    using Op = std::string (*)(feed&, SqlConnection&);
    const Op read = [](feed& f, SqlConnection& db) { f.MarkRead(db); return db.ErrorMessage(); };
    const Op unread = [](feed& f, SqlConnection& db) { f.MarkUnread(db); return db.ErrorMessage(); };
    const Op allRead = [](feed& f, SqlConnection& db) { f.MarkAllRead(db); return db.ErrorMessage(); };
    const Op reload = [](feed& f, SqlConnection& db) { return f.ForceReload(db); };
    const auto keep = [](std::string table) {   // a table whose rows may not be deleted
        return "CREATE TRIGGER keep BEFORE DELETE ON " + table + " BEGIN SELECT RAISE(ABORT, '" + table + " are kept'); END;";
    };
    // written: the articles whose row was written, which are those whose unread changes, NULL included.
    const struct { const char* name; Browser browser; std::string sql, key; Op op; std::string said, state, written = ""; } cases[] = {
        {"MarkRead", Away, "", "1", read, "", "2003:1 2101:0 2102:0 2103:1 2104:0 2105:1 / 1 2 3 4 6 7 8", "2102"},
        {"MarkRead waits for the browser", Committing, "", "1", read, "", "2003:1 2101:0 2102:0 2103:1 2104:0 2105:1 / 1 2 3 4 6 7 8", "2102"},
        {"MarkRead gives up when the lock outlasts the wait", Writing, "", "1", read, "database is locked", FixtureDb::kState},
        {"MarkRead of a key that is no integer", Away, "", "1 OR 1=1", read, "", FixtureDb::kState},
        {"MarkUnread, a key with a leading zero", Away, "", "01", unread, "", "2003:1 2101:1 2102:1 2103:1 2104:0 2105:1 / 1 2 3 4 6 7 8", "2101"},
        {"MarkUnread, NULL and 2 too", Away, "UPDATE Articles SET unread=NULL WHERE id=2101; UPDATE Articles SET unread=2 WHERE id=2102;",
         "1", unread, "", "2003:1 2101:1 2102:1 2103:1 2104:0 2105:1 / 1 2 3 4 6 7 8", "2101 2102"},
        {"MarkUnread of a key that is no integer", Away, "", "1 OR 1=1", unread, "", FixtureDb::kState},
        {"MarkAllRead, orphans too", Away, "", "", allRead, "", "2003:0 2101:0 2102:0 2103:0 2104:0 2105:0 / 1 2 3 4 6 7 8",
         "2003 2102 2103 2105"},
        {"MarkAllRead, NULL and negative too", Away, "UPDATE Articles SET unread=NULL WHERE id=2101; UPDATE Articles SET unread=-1 WHERE id=2104;",
         "", allRead, "", "2003:0 2101:0 2102:0 2103:0 2104:0 2105:0 / 1 2 3 4 6 7 8", "2003 2101 2102 2103 2104 2105"},
        {"ForceReload", Away, "", "1", reload, "", "2003:1 2103:1 2104:0 2105:1 / 2 3 4 6 7 8"},
        {"ForceReload without articles", Away, "", "4", reload, "", "2003:1 2101:0 2102:1 2103:1 2104:0 2105:1 / 1 2 3 6 7 8"},
        {"ForceReload of a missing feed, its orphans go too", Away, "", "5", reload, "", "2101:0 2102:1 2103:1 2104:0 2105:1 / 1 2 3 4 6 7 8"},
        {"ForceReload of a key that is no integer", Away, "", "1 OR 1=1", reload, "", FixtureDb::kState},
        {"ForceReload under the browser's write lock", Writing, "", "1", reload, "database is locked", FixtureDb::kState},
        {"ForceReload while the browser reads", Reading, "", "1", reload, "database is locked", FixtureDb::kState},
        {"ForceReload without the write lock", Nested, "", "1", reload, "cannot start a transaction within a transaction", FixtureDb::kState},
        {"ForceReload when the articles must stay", Away, keep("Articles"), "1", reload, "Articles are kept", FixtureDb::kState},
        {"ForceReload when the feed's row must stay", Away, keep("Sources"), "1", reload, "Sources are kept", FixtureDb::kState},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FixtureDb fixture;
        // Columns the program never touches get values, so that a change to them would show.
        fixture.exec(c.sql + "UPDATE Sources SET slider=1, description='about '||id, timespan=2, sort=3, FOAFURL='foaf'||id, lastError='none', "
                     "maxDays=30, maxArticles=100, x_monkey='m'||id, x_ninja=x'00ff', x_pirate=2.5, x_robot='r';"
                     "UPDATE Articles SET author='a'||id, contents='body '||id, categories='c', iconURL='i', flagged=id%2, collapsed=1;"
                     "CREATE TABLE written (id); CREATE TRIGGER note AFTER UPDATE ON Articles BEGIN INSERT INTO written VALUES (new.id); END;");
        const std::string removed = c.op == reload && c.state != FixtureDb::kState ? c.key : "", untouched = Untouched(fixture, removed);
        BusyTimeout timeout(c.browser == Committing ? 5000ms : 200ms);
        auto browser = Connected(fixture.path());
        auto reading = c.browser == Reading ? browser->Select("SELECT id FROM Articles") : nullptr;
        if (c.browser == Writing || c.browser == Committing) {
            ASSERT_TRUE(browser->Execute("BEGIN IMMEDIATE"));
        }
        // The browser commits once the operation has set out: the operation meets the lock, and outwaits it.
        std::promise<void> started;
        std::thread commit;
        if (c.browser == Committing) commit = std::thread([&] { started.get_future().wait(); browser->Execute("COMMIT"); });
        auto db = Connected(fixture.path());
        if (c.browser == Nested) db->Execute("BEGIN");
        feed f;
        f.ID = c.key;
        started.set_value();
        const std::string said = c.op(f, *db);
        if (c.browser == Nested) db->Execute("ROLLBACK");   // that transaction is not the operation's to end
        if (commit.joinable()) commit.join();
        reading.reset();
        browser.reset();
        EXPECT_EQ(said, c.said);
        EXPECT_EQ(fixture.state(), c.state);
        EXPECT_EQ(fixture.query("SELECT group_concat(id, ' ') FROM (SELECT id FROM written ORDER BY id)"), c.written);
        EXPECT_EQ(Untouched(fixture, removed), untouched);
        EXPECT_TRUE(BrowserCanWrite(fixture.path())) << "no transaction is left open";
    }
}

}  // namespace
