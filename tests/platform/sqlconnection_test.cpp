#include "platform/SqlConnection.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/FixtureDb.h"
#include "tests/support/SqlTestHelpers.h"

namespace fs = std::filesystem;

namespace {

TEST(SqlConnectionConnect, FailsWithoutCreatingOrAcceptingWhatIsNoDatabase) {
    FixtureDb fixture;
    const std::string dir = fixture.folder();
    std::ofstream(dir + "/notes.txt") << "<html><body>Syndication moved</body></html>\n" << std::string(120, '.');
    const std::string cantOpen = "unable to open database file";
    const struct { std::string path, message; } cases[] = {{dir + "/Missing3", cantOpen}, {dir + "/nowhere/Database3", cantOpen},
                                                          {dir + "/notes.txt", "file is not a database"}, {dir, cantOpen},
                                                          {"", cantOpen}, {":memory:", cantOpen}};
    for (const auto& c : cases) {
        SCOPED_TRACE("\"" + c.path + "\"");
        const bool existed = fs::exists(c.path);
        const auto size = fs::is_regular_file(c.path) ? fs::file_size(c.path) : 0;
        SqlConnection db(c.path);
        EXPECT_FALSE(db.Connect());
        EXPECT_FALSE(db.IsConnected());
        EXPECT_TRUE(db.Error());
        EXPECT_EQ(db.ErrorMessage(), c.message);
        EXPECT_EQ(fs::exists(c.path), existed) << "connecting must never create a file";
        EXPECT_EQ(fs::is_regular_file(c.path) ? fs::file_size(c.path) : 0, size);
        // Statements on the unopened connection fail as values, never crash.
        EXPECT_FALSE(db.Execute("UPDATE Articles set unread=0"));
        EXPECT_EQ(db.Select("SELECT 1"), nullptr);
        EXPECT_TRUE(db.Commit());
    }
}

TEST(SqlCursor, GivesEveryValueAsTextByPositionOrByNameIgnoringCase) {
    FixtureDb fixture;
    auto db = Connected(fixture.path());
    auto cursor = db->Select("SELECT id, title, HTTPdate, 2.5 AS half, -3 AS neg, x'414243' AS blob FROM Sources WHERE id IN (1,8) ORDER BY id");
    ASSERT_NE(cursor, nullptr);
    EXPECT_EQ(cursor->ColumnCount(), 6);
    const std::vector<std::string> first = {cursor->Column(1), cursor->Column(2), cursor->Column("TITLE"), cursor->Column("HTTPDate"),
                                            cursor->Column("half"), cursor->Column("NEG"), cursor->Column("blob"),
                                            cursor->Column("nosuchcolumn"), cursor->Column(0), cursor->Column(7)};
    EXPECT_EQ(first, (std::vector<std::string>{"1", "Apple Hot News", "Apple Hot News", "Tue, 28 Jun 2005 02:15:00 GMT", "2.5",
                                                "-3", "ABC", "", "", ""}));
    cursor->MoveNext();
    ASSERT_FALSE(cursor->AtEnd());
    EXPECT_EQ(cursor->Column(1), "8");
    EXPECT_EQ(cursor->Column("title") + cursor->Column(3), "") << "NULL reads as empty text";
    cursor->MoveNext();
    cursor->MoveNext();   // past the end stays at the end
    EXPECT_TRUE(cursor->AtEnd());
    EXPECT_EQ(cursor->Column(1), "");
    EXPECT_FALSE(db->Error());
}

TEST(SqlCursor, ReleasesTheReadLockAtItsEndOrWhenDroppedAndOutlivesItsConnection) {
    FixtureDb fixture;
    auto db = Connected(fixture.path());
    auto open = db->Select("SELECT id FROM Sources ORDER BY id");
    ASSERT_TRUE(open && !open->AtEnd());
    EXPECT_FALSE(BrowserCanWrite(fixture.path())) << "a cursor on a row holds the read lock";
    open.reset();
    EXPECT_TRUE(BrowserCanWrite(fixture.path())) << "dropping the cursor releases it";

    auto empty = db->Select("SELECT id FROM Sources WHERE id=5");
    ASSERT_TRUE(empty && empty->AtEnd());
    EXPECT_TRUE(BrowserCanWrite(fixture.path())) << "an empty result holds no lock";

    auto cursor = db->Select("SELECT id FROM Sources ORDER BY id");
    db.reset();   // a refresh replaces the connection while a feed record still holds its cursor
    EXPECT_EQ(cursor->Column(1), "1");
    while (!cursor->AtEnd())
        cursor->MoveNext();
    EXPECT_TRUE(BrowserCanWrite(fixture.path())) << "a cursor read to its end releases it while kept";
}

TEST(SqlConnection, FailedStatementsCarryTheEnginesMessageAndRunNothingOfASecondStatement) {
    const struct { const char* sql; bool query; int code; const char* message; } cases[] = {
        {"SELECT * FROM NoSuchTable", true, SQLITE_ERROR, "no such table: NoSuchTable"},
        {"SELEC 1", true, SQLITE_ERROR, "near \"SELEC\": syntax error"},
        {"INSERT INTO Sources (id) VALUES (1)", false, SQLITE_CONSTRAINT_PRIMARYKEY, "UNIQUE constraint failed: Sources.id"},
        {"UPDATE Articles set unread=0; DROP TABLE Sources", false, SQLITE_MISUSE, nullptr},
        {"SELECT 1; DELETE FROM Articles", true, SQLITE_MISUSE, nullptr},
    };
    FixtureDb fixture;
    auto db = Connected(fixture.path());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        EXPECT_FALSE(c.query ? db->Select(c.sql) != nullptr : db->Execute(c.sql));
        EXPECT_EQ(db->ErrorCode(), c.code);
        EXPECT_EQ(db->ErrorMessage(), c.message ? c.message : db->ErrorMessage());
        EXPECT_TRUE(db->Error() && !db->IsBusy());
        ASSERT_TRUE(db->Execute("UPDATE Articles set unread=unread;  "));   // a trailing semicolon is fine
        EXPECT_TRUE(!db->Error() && db->ErrorCode() == 0 && db->ErrorMessage().empty()) << "a statement that works clears the error";
    }
    EXPECT_EQ(fixture.query("SELECT (SELECT count(*) FROM Sources)||' '||(SELECT sum(unread) FROM Articles)"), "7 4");
}

TEST(SqlConnection, CommitsEachStatementOnItsOwnOutsideATransactionAndCanCloseAndReconnect) {
    FixtureDb fixture;
    auto db = Connected(fixture.path());
    ASSERT_TRUE(db->Execute("UPDATE Articles set unread=0"));
    EXPECT_EQ(fixture.query("SELECT sum(unread) FROM Articles"), "0") << "a new connection sees it without a commit";
    EXPECT_TRUE(db->Commit()) << "nothing pending";

    ASSERT_TRUE(db->Execute("BEGIN"));
    ASSERT_TRUE(db->Execute("UPDATE Articles set unread=1"));
    EXPECT_EQ(fixture.query("SELECT sum(unread) FROM Articles"), "0") << "inside a transaction until committed";
    EXPECT_TRUE(db->Commit());
    EXPECT_EQ(fixture.query("SELECT sum(unread) FROM Articles"), "6");

    db->Close();
    EXPECT_EQ(db->DatabaseFile(), fs::path(fixture.path())) << "kept for deleting the file after a close";
    EXPECT_FALSE(db->Execute("UPDATE Articles set unread=0"));
    EXPECT_TRUE(db->Connect()) << "a closed connection can connect again";
    EXPECT_FALSE(fs::exists(fixture.path() + "-wal") || fs::exists(fixture.path() + "-journal"));
}

TEST(SqlConnectionBusy, WaitsAboutFiveSecondsAndConnectingToAFileBeingCommittedIsBusy) {
    // The browser may be writing for a while.
    EXPECT_TRUE(SqlConnection::BusyTimeout() >= 4000ms && SqlConnection::BusyTimeout() <= 6000ms);
    FixtureDb fixture;
    BusyTimeout timeout(200ms);
    auto holder = Connected(fixture.path());
    ASSERT_TRUE(holder->Execute("BEGIN EXCLUSIVE"));
    SqlConnection late(fixture.path());
    EXPECT_FALSE(late.Connect());
    EXPECT_TRUE(late.IsBusy()) << "busy, not \"no database\"";
    EXPECT_EQ(late.ErrorMessage(), "database is locked");
    holder->Execute("ROLLBACK");
    EXPECT_TRUE(late.Connect());
}

}  // namespace
