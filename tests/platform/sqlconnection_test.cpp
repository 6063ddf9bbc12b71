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

TEST(SqlConnectionConnect, FailsWithoutCreatingOrAcceptingWhatIsNoDatabaseAndIsBusyWhileTheFileIsBeingCommitted) {
    EXPECT_TRUE(SqlConnection::BusyTimeout() >= 4000ms && SqlConnection::BusyTimeout() <= 6000ms) << "the browser may write a while";
    FixtureDb fixture;
    const std::string dir = fixture.folder(), cantOpen = "unable to open database file";
    std::ofstream(dir + "/notes.txt") << "<html><body>Syndication moved</body></html>\n" << std::string(120, '.');
    const struct { std::string path, message; } cases[] = {{dir + "/Missing3", cantOpen}, {dir + "/notes.txt", "file is not a database"},
                                                          {dir, cantOpen}, {"", cantOpen}, {":memory:", cantOpen},
                                                          {fixture.path(), "database is locked"}};
    BusyTimeout timeout(200ms);
    auto holder = Connected(fixture.path());
    ASSERT_TRUE(holder->Execute("BEGIN EXCLUSIVE"));
    for (const auto& c : cases) {
        SCOPED_TRACE("\"" + c.path + "\"");
        std::error_code none;   // the size of a file, or of no file at all
        const auto size = fs::file_size(c.path, none);
        SqlConnection db(c.path);
        EXPECT_TRUE(!db.Connect() && !db.IsConnected() && db.Error());
        EXPECT_EQ(db.ErrorMessage(), c.message);
        EXPECT_EQ(db.IsBusy(), c.path == fixture.path()) << "busy only when busy, never for \"no database\"";
        EXPECT_EQ(fs::file_size(c.path, none), size) << "connecting must never create or change a file";
    }
    holder->Execute("ROLLBACK");
    EXPECT_TRUE(SqlConnection(fixture.path()).Connect());
}

TEST(SqlCursor, GivesValuesAsTextHoldsTheReadLockOnARowAndOutlivesItsConnection) {
    FixtureDb fixture;
    auto db = Connected(fixture.path());
    auto cursor = db->Select("SELECT id, title, 2.5 AS half, -3 AS neg, x'414243' AS blob FROM Sources WHERE id IN (8, 3) ORDER BY id DESC");
    ASSERT_NE(cursor, nullptr);
    EXPECT_FALSE(BrowserCanWrite(fixture.path())) << "a cursor on a row holds the read lock";
    db.reset();   // a refresh replaces the connection while a feed record still holds its cursor
    EXPECT_EQ((std::vector<SqlType>{cursor->Type(1), cursor->Type(3), cursor->Type(5), cursor->Type(0)}),
              (std::vector<SqlType>{SqlType::Integer, SqlType::Real, SqlType::Blob, SqlType::Null}));
    const auto row = [&] {
        return std::vector<std::string>{cursor->Column(1), cursor->Column("TITLE"), cursor->Column("Half"), cursor->Column(4),
                                        cursor->Column("blob"), cursor->Column("nosuchcolumn"), cursor->Column(0), cursor->Column(6)};
    };
    EXPECT_EQ(row(), (std::vector<std::string>{"8", "", "2.5", "-3", "ABC", "", "", ""}));
    EXPECT_EQ(cursor->Integer(1) * 10 + cursor->Integer(9), 80) << "0 outside the row";
    for (int i = 0; i < 3; ++i) cursor->MoveNext();   // one past the end: it stays there
    EXPECT_TRUE(cursor->AtEnd());
    EXPECT_EQ(row(), std::vector<std::string>(8));
    EXPECT_TRUE(BrowserCanWrite(fixture.path())) << "a cursor read to its end releases the lock while kept";
    // Dropping a cursor, and an empty result, are seen to release it through the feed list and the feed record.
}

// Failed statements carry the engine's message and run nothing of a second statement; the others commit on their
// own or with the transaction, and a closed connection can connect again.
TEST(SqlConnection, StatementsFailWithTheEnginesMessageOrCommitAndTheConnectionClosesAndReconnects) {
    const struct { const char* sql; bool query; int code; const char* message; } cases[] = {
        {"SELECT * FROM NoSuchTable", true, SQLITE_ERROR, "no such table: NoSuchTable"},
        {"SELEC 1", true, SQLITE_ERROR, "near \"SELEC\": syntax error"},
        {"INSERT INTO Sources (id) VALUES (1)", false, SQLITE_CONSTRAINT_PRIMARYKEY, "UNIQUE constraint failed: Sources.id"},
        {"UPDATE Articles set unread=0; DROP TABLE Sources", false, SQLITE_MISUSE, nullptr},
        {"SELECT 1; DELETE FROM Articles", true, SQLITE_MISUSE, nullptr}, {"  ; ", true, SQLITE_MISUSE, "no statement to run"}};
    FixtureDb fixture;
    auto db = Connected(fixture.path());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        EXPECT_FALSE(c.query ? db->Select(c.sql) != nullptr : db->Execute(c.sql));
        EXPECT_TRUE(db->Error() && !db->IsBusy() && db->ErrorCode() == c.code) << db->ErrorCode();
        EXPECT_EQ(db->ErrorMessage(), c.message ? c.message : db->ErrorMessage());
        // A statement that works, a trailing semicolon and all, clears the error.
        EXPECT_TRUE(db->Execute("UPDATE Articles set unread=unread;  ") && !db->Error() && db->ErrorMessage().empty());
    }
    EXPECT_EQ(fixture.query("SELECT (SELECT count(*) FROM Sources)||' '||(SELECT sum(unread) FROM Articles)"), "7 4");

    const auto unread = [&] { return fixture.query("SELECT sum(unread) FROM Articles"); };
    ASSERT_TRUE(db->Execute("UPDATE Articles set unread=0"));
    EXPECT_EQ(unread(), "0") << "a new connection sees it without a commit";
    EXPECT_TRUE(!db->Execute("SELEC") && db->Commit() && !db->Error()) << "nothing pending: done, the error cleared";
    ASSERT_TRUE(db->Execute("BEGIN") && db->Execute("UPDATE Articles set unread=1"));
    EXPECT_EQ(unread(), "0") << "inside a transaction until committed";
    EXPECT_TRUE(db->Commit());
    EXPECT_EQ(unread(), "6");
    db->Close();
    EXPECT_FALSE(db->Execute("UPDATE Articles set unread=0"));
    EXPECT_EQ(db->DatabaseFile(), fs::path(fixture.path())) << "kept for deleting the file after a close";
    EXPECT_TRUE(db->Connect() && !db->Error()) << "a closed connection can connect again";
    EXPECT_FALSE(fs::exists(fixture.path() + "-wal") || fs::exists(fixture.path() + "-journal"));
    fs::remove(fixture.path());
    EXPECT_FALSE(db->Connect() || db->IsConnected()) << "a failed connect leaves no connection behind";
}

}  // namespace
