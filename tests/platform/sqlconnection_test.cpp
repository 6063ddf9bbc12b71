#include "platform/SqlConnection.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/FixtureDb.h"
#include "tests/support/SqlTestHelpers.h"

using namespace std::chrono_literals;

namespace {

// Whether another connection can write right now: true unless something still holds a lock on the file.
bool AnotherConnectionCanWrite(const std::string& path) {
    BusyTimeout brief(50ms);
    SqlConnection writer(path);
    return writer.Connect() && writer.Execute("UPDATE Sources SET lastError='probe' WHERE id=1");
}

TEST(SqlConnectionConnect, FailsWithoutCreatingOrAcceptingWhatIsNoDatabase) {
    struct Case {
        const char* name;
        std::function<std::string(const std::string& folder)> prepare;   // returns the path to connect to
    };
    const std::vector<Case> cases = {
        {"missing file", [](const std::string& folder) { return folder + "/Missing3"; }},
        {"missing folder", [](const std::string& folder) { return folder + "/nowhere/Database3"; }},
        {"text file",
         [](const std::string& folder) {
             const std::string path = folder + "/notes.txt";
             std::ofstream(path) << "This is not a database, just a long enough line of text for the header.\n";
             return path;
         }},
        {"folder", [](const std::string& folder) { return folder; }},
        {"empty path", [](const std::string&) { return std::string(); }},
        {"memory name", [](const std::string&) { return std::string(":memory:"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FixtureDb fixture;
        const std::string path = c.prepare(fixture.folder());
        const bool existed = !path.empty() && std::filesystem::exists(path);
        const auto sizeBefore = existed && std::filesystem::is_regular_file(path) ? std::filesystem::file_size(path) : 0;

        SqlConnection db(path);
        EXPECT_FALSE(db.Connect());
        EXPECT_FALSE(db.IsConnected());
        EXPECT_TRUE(db.Error());
        EXPECT_FALSE(db.ErrorMessage().empty());
        EXPECT_EQ(db.DatabaseFile(), std::filesystem::path(path));
        if (!path.empty() && path != ":memory:") {
            EXPECT_EQ(std::filesystem::exists(path), existed) << "connecting must never create a file";
            if (existed && std::filesystem::is_regular_file(path)) {
                EXPECT_EQ(std::filesystem::file_size(path), sizeBefore);
            }
        }
        // Statements on the unopened connection fail as values, never crash.
        EXPECT_FALSE(db.Execute("UPDATE Articles set unread=0"));
        EXPECT_TRUE(db.Error());
        EXPECT_EQ(db.Select("SELECT 1"), nullptr);
        EXPECT_TRUE(db.Commit());
    }
}

TEST(SqlConnectionConnect, TextFileIsReportedAsNotADatabase) {
    FixtureDb fixture;
    const std::string path = fixture.folder() + "/Database3.txt";
    std::ofstream(path) << "<html><body>Syndication moved</body></html>\n"
                           "padding padding padding padding padding padding padding padding padding padding\n";
    SqlConnection db(path);
    EXPECT_FALSE(db.Connect());
    EXPECT_EQ(db.ErrorCode(), SQLITE_NOTADB);
    EXPECT_EQ(db.ErrorMessage(), "file is not a database");
}

TEST(SqlConnectionConnect, LeavesTheBrowsersFileAsItWas) {
    FixtureDb fixture;
    const std::string schema = fixture.query("SELECT group_concat(sql, ';') FROM (SELECT sql FROM sqlite_master ORDER BY name)");
    {
        auto db = Connected(fixture.path());
        ASSERT_TRUE(db->Execute("UPDATE Articles set unread=0 where Articles.source_id=1"));
        ASSERT_TRUE(db->Commit());
        auto cursor = db->Select("SELECT * FROM Sources");
        ASSERT_NE(cursor, nullptr);
    }
    EXPECT_EQ(fixture.query("PRAGMA journal_mode"), "delete");
    EXPECT_EQ(fixture.query("PRAGMA integrity_check"), "ok");
    EXPECT_EQ(fixture.query("SELECT group_concat(sql, ';') FROM (SELECT sql FROM sqlite_master ORDER BY name)"), schema);
    EXPECT_FALSE(std::filesystem::exists(fixture.path() + "-wal"));
    EXPECT_FALSE(std::filesystem::exists(fixture.path() + "-journal"));
}

TEST(SqlCursor, GivesEveryValueAsTextByPositionOrByNameIgnoringCase) {
    FixtureDb fixture;
    auto db = Connected(fixture.path());
    auto cursor = db->Select("SELECT id, title, HTTPdate, 2.5 AS half, -3 AS neg, x'414243' AS blob FROM Sources WHERE id IN (1,8) ORDER BY id");
    ASSERT_NE(cursor, nullptr);
    ASSERT_FALSE(cursor->AtEnd());
    EXPECT_EQ(cursor->ColumnCount(), 6);
    EXPECT_EQ(cursor->Column(1), "1");
    EXPECT_EQ(cursor->Column(2), "Apple Hot News");
    EXPECT_EQ(cursor->Column("TITLE"), "Apple Hot News");
    EXPECT_EQ(cursor->Column("HTTPDate"), "Tue, 28 Jun 2005 02:15:00 GMT");
    EXPECT_EQ(cursor->Column("half"), "2.5");
    EXPECT_EQ(cursor->Column("NEG"), "-3");
    EXPECT_EQ(cursor->Column("blob"), "ABC");
    EXPECT_EQ(cursor->Column("nosuchcolumn"), "");
    EXPECT_EQ(cursor->Column(0), "");
    EXPECT_EQ(cursor->Column(7), "");

    cursor->MoveNext();
    ASSERT_FALSE(cursor->AtEnd());
    EXPECT_EQ(cursor->Column(1), "8");
    EXPECT_EQ(cursor->Column("title"), "") << "NULL reads as empty text";
    EXPECT_EQ(cursor->Column(3), "");

    cursor->MoveNext();
    EXPECT_TRUE(cursor->AtEnd());
    EXPECT_EQ(cursor->Column(1), "");
    cursor->MoveNext();   // past the end stays at the end
    EXPECT_TRUE(cursor->AtEnd());
    EXPECT_FALSE(db->Error());
}

TEST(SqlCursor, ReleasesTheReadLockAtItsEndOrWhenDropped) {
    FixtureDb fixture;
    auto db = Connected(fixture.path());

    auto open = db->Select("SELECT id FROM Sources");
    ASSERT_NE(open, nullptr);
    ASSERT_FALSE(open->AtEnd());
    EXPECT_FALSE(AnotherConnectionCanWrite(fixture.path())) << "a cursor on a row holds the read lock";
    open.reset();
    EXPECT_TRUE(AnotherConnectionCanWrite(fixture.path())) << "dropping the cursor releases it";

    auto finished = db->Select("SELECT id FROM Sources");
    ASSERT_NE(finished, nullptr);
    while (!finished->AtEnd())
        finished->MoveNext();
    EXPECT_TRUE(AnotherConnectionCanWrite(fixture.path())) << "a cursor read to its end releases it while kept";

    auto empty = db->Select("SELECT id FROM Sources WHERE id=5");
    ASSERT_NE(empty, nullptr);
    EXPECT_TRUE(empty->AtEnd());
    EXPECT_FALSE(db->Error());
    EXPECT_TRUE(AnotherConnectionCanWrite(fixture.path())) << "an empty result holds no lock";
}

TEST(SqlCursor, OutlivesItsConnectionSafely) {
    FixtureDb fixture;
    auto db = Connected(fixture.path());
    auto cursor = db->Select("SELECT id FROM Sources ORDER BY id");
    ASSERT_NE(cursor, nullptr);
    db.reset();   // a refresh replaces the connection while a feed record still holds its cursor
    EXPECT_EQ(cursor->Column(1), "1");
    cursor->MoveNext();
    EXPECT_EQ(cursor->Column(1), "2");
    while (!cursor->AtEnd())
        cursor->MoveNext();
    cursor.reset();
    EXPECT_TRUE(AnotherConnectionCanWrite(fixture.path()));
}

TEST(SqlConnection, FailedStatementsCarryTheEnginesMessageAndExtendedCode) {
    struct Case {
        const char* sql;
        bool query;
        int code;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"SELECT * FROM NoSuchTable", true, SQLITE_ERROR, "no such table: NoSuchTable"},
        {"SELEC 1", true, SQLITE_ERROR, "near \"SELEC\": syntax error"},
        {"INSERT INTO Sources (id) VALUES (1)", false, SQLITE_CONSTRAINT_PRIMARYKEY, "UNIQUE constraint failed: Sources.id"},
        {"UPDATE NoSuchTable SET a=1", false, SQLITE_ERROR, "no such table: NoSuchTable"},
    };
    FixtureDb fixture;
    auto db = Connected(fixture.path());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        if (c.query) {
            EXPECT_EQ(db->Select(c.sql), nullptr);
        } else {
            EXPECT_FALSE(db->Execute(c.sql));
        }
        EXPECT_TRUE(db->Error());
        EXPECT_EQ(db->ErrorCode(), c.code);
        EXPECT_EQ(db->ErrorMessage(), c.message);
        EXPECT_FALSE(db->IsBusy());

        ASSERT_TRUE(db->Execute("UPDATE Articles set unread=unread"));
        EXPECT_FALSE(db->Error()) << "a statement that works clears the last error";
        EXPECT_EQ(db->ErrorCode(), 0);
        EXPECT_EQ(db->ErrorMessage(), "");
    }
}

TEST(SqlConnection, RunsOneStatementPerCallAndNothingOfASecond) {
    FixtureDb fixture;
    auto db = Connected(fixture.path());
    EXPECT_FALSE(db->Execute("UPDATE Articles set unread=0; DROP TABLE Sources"));
    EXPECT_TRUE(db->Error());
    EXPECT_EQ(db->Select("SELECT 1; DELETE FROM Articles"), nullptr);
    EXPECT_EQ(fixture.query("SELECT sum(unread) FROM Articles"), "4");
    EXPECT_EQ(fixture.query("SELECT count(*) FROM Sources"), "7");
    EXPECT_EQ(fixture.query("SELECT count(*) FROM Articles"), "6");
    EXPECT_TRUE(db->Execute("UPDATE Articles set unread=0;  "));   // a trailing semicolon is fine
}

TEST(SqlConnection, CommitsEachStatementOnItsOwnOutsideATransaction) {
    FixtureDb fixture;
    auto db = Connected(fixture.path());
    ASSERT_TRUE(db->Execute("UPDATE Articles set unread=0"));
    EXPECT_EQ(fixture.query("SELECT sum(unread) FROM Articles"), "0") << "a new connection sees it without a commit";
    EXPECT_TRUE(db->Commit()) << "nothing pending";
    EXPECT_FALSE(db->Error());

    ASSERT_TRUE(db->Execute("BEGIN"));
    ASSERT_TRUE(db->Execute("UPDATE Articles set unread=1"));
    EXPECT_EQ(fixture.query("SELECT sum(unread) FROM Articles"), "0") << "inside a transaction until committed";
    EXPECT_TRUE(db->Commit());
    EXPECT_EQ(fixture.query("SELECT sum(unread) FROM Articles"), "6");
    EXPECT_TRUE(db->Commit());
}

TEST(SqlConnection, MovedAndClosedConnectionsBehave) {
    FixtureDb fixture;
    SqlConnection first(fixture.path());
    ASSERT_TRUE(first.Connect());
    SqlConnection second(std::move(first));
    EXPECT_TRUE(second.IsConnected());
    EXPECT_EQ(second.DatabaseFile(), std::filesystem::path(fixture.path()));
    EXPECT_TRUE(second.Execute("UPDATE Articles set unread=0"));
    EXPECT_FALSE(second.Execute("UPDATE NoSuchTable SET a=1"));
    EXPECT_EQ(second.ErrorMessage(), "no such table: NoSuchTable");

    second.Close();
    EXPECT_FALSE(second.IsConnected());
    EXPECT_EQ(second.DatabaseFile(), std::filesystem::path(fixture.path())) << "kept for deleting the file after a close";
    EXPECT_FALSE(second.Execute("UPDATE Articles set unread=1"));
    EXPECT_TRUE(second.Error());
    EXPECT_EQ(fixture.query("SELECT sum(unread) FROM Articles"), "0");
    EXPECT_TRUE(second.Connect()) << "a closed connection can connect again";
}

TEST(SqlConnection, TraceSeesTheTextsTheEngineRuns) {
    FixtureDb fixture;
    std::vector<std::string> seen;
    SqlConnection db(fixture.path());
    db.SetTrace([&seen](const std::string& sql) { seen.push_back(sql); });   // set before connecting
    ASSERT_TRUE(db.Connect());
    db.Execute("UPDATE Articles set unread=0 where Articles.source_id=1");
    db.Select("SELECT id FROM Sources WHERE id=1");
    db.SetTrace({});
    db.Execute("UPDATE Articles set unread=1");
    EXPECT_EQ(seen, (std::vector<std::string>{"UPDATE Articles set unread=0 where Articles.source_id=1",
                                               "SELECT id FROM Sources WHERE id=1"}));
}

TEST(SqlConnectionBusy, AStatementWaitsForALockReleasedWithinTheTimeout) {
    FixtureDb fixture;
    BusyTimeout timeout(3000ms);
    auto db = Connected(fixture.path());
    auto holder = Connected(fixture.path());
    ASSERT_TRUE(holder->Execute("BEGIN EXCLUSIVE"));

    std::thread release([&holder] {
        std::this_thread::sleep_for(100ms);
        holder->Execute("ROLLBACK");
    });
    EXPECT_TRUE(db->Execute("UPDATE Articles set unread=0")) << db->ErrorMessage();
    release.join();
    EXPECT_EQ(fixture.query("SELECT sum(unread) FROM Articles"), "0");
}

TEST(SqlConnectionBusy, ALockOutlastingTheTimeoutFailsAsBusy) {
    FixtureDb fixture;
    BusyTimeout timeout(200ms);
    auto holder = Connected(fixture.path());
    ASSERT_TRUE(holder->Execute("BEGIN IMMEDIATE"));
    auto db = Connected(fixture.path());

    EXPECT_FALSE(db->Execute("UPDATE Articles set unread=0"));
    EXPECT_TRUE(db->IsBusy());
    EXPECT_EQ(db->ErrorCode(), SQLITE_BUSY);
    EXPECT_EQ(db->ErrorMessage(), "database is locked");
    ASSERT_TRUE(holder->Execute("ROLLBACK"));
    EXPECT_EQ(fixture.query("SELECT sum(unread) FROM Articles"), "4");
    EXPECT_TRUE(db->Execute("UPDATE Articles set unread=0")) << "the connection works again once the lock is gone";

    // A file the browser is committing to cannot even be read: connecting says busy, not "no database".
    ASSERT_TRUE(holder->Execute("BEGIN EXCLUSIVE"));
    SqlConnection late(fixture.path());
    EXPECT_FALSE(late.Connect());
    EXPECT_TRUE(late.IsBusy());
    holder->Execute("ROLLBACK");
    EXPECT_TRUE(late.Connect());
}

TEST(SqlConnectionBusy, TheDefaultTimeoutOutwaitsAWriterOfAboutASecond) {
    FixtureDb fixture;
    ASSERT_GE(SqlConnection::BusyTimeout(), 4000ms);
    auto db = Connected(fixture.path());
    auto holder = Connected(fixture.path());
    ASSERT_TRUE(holder->Execute("BEGIN EXCLUSIVE"));
    std::thread release([&holder] {
        std::this_thread::sleep_for(1000ms);
        holder->Execute("COMMIT");
    });
    EXPECT_TRUE(db->Execute("UPDATE Articles set unread=0")) << db->ErrorMessage();
    release.join();
}

TEST(SqlTransaction, RollsBackUnlessCommittedAndFailsAtItsStartWhenTheFileIsTaken) {
    FixtureDb fixture;
    auto db = Connected(fixture.path());
    {
        SqlTransaction transaction(*db);
        ASSERT_TRUE(transaction.Began());
        ASSERT_TRUE(db->Execute("DELETE FROM Articles"));
    }
    EXPECT_EQ(fixture.query("SELECT count(*) FROM Articles"), "6") << "dropped without commit: rolled back";
    EXPECT_TRUE(sqlite3_get_autocommit(db->Handle()));
    {
        SqlTransaction transaction(*db);
        ASSERT_TRUE(db->Execute("DELETE FROM Articles WHERE source_id=1"));
        EXPECT_TRUE(transaction.Commit());
    }
    EXPECT_EQ(fixture.query("SELECT count(*) FROM Articles"), "4");

    BusyTimeout timeout(200ms);
    auto holder = Connected(fixture.path());
    ASSERT_TRUE(holder->Execute("BEGIN IMMEDIATE"));
    SqlTransaction blocked(*db);
    EXPECT_FALSE(blocked.Began());
    EXPECT_TRUE(db->IsBusy());
    EXPECT_FALSE(blocked.Commit());
    holder->Execute("ROLLBACK");
}

}  // namespace
