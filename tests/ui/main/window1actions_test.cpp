// The five feed actions on a real fixture database, with a fake browser script and fake waits.
#include <QFile>
#include <QPushButton>
#include <QLabel>
#include <QTimer>
#include <filesystem>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "app/App.h"
#include "tests/support/FixtureDb.h"
#include "tests/support/gui/FakeScript.h"
#include "tests/support/gui/GuiTest.h"
#include "ui/main/Window1.h"

namespace fs = std::filesystem;

namespace {

const QString kCannotOpen = QStringLiteral("The database couldn't be opened.");

class Window1ActionsTest : public GuiTest {
protected:
    Window1* Open(FixtureDb& db) {
        Window1* w = OpenMainWindow(db);
        w->Timer1->stop();   // ticks are driven by hand where a test wants them
        w->Timer2->stop();
        return w;
    }
    /// "id:unread" of every article, for comparing whole tables.
    static std::string Unread(FixtureDb& db, const std::string& where = "1") {
        return db.query("SELECT group_concat(id || ':' || unread, ' ') FROM (SELECT id, unread FROM Articles WHERE " +
                        where + " ORDER BY id)");
    }
    static int RowOf(Window1* w, const QString& key) {
        for (int r = 0; r < w->ListCount(); ++r)
            if (w->Cell(r, 3) == key) return r;
        return -1;
    }
};

}  // namespace

// Mark Read and Mark Unread: that one feed changes in the database and in the list, row 2 stays selected.
struct MarkCase {
    const char* name;
    const char* setup;         // puts every article into the opposite state first
    void (Window1::*action)();
    const char* expectFeed;    // unread value of every article of the row-2 feed afterwards
    const char* expectOthers;  // unread value of every other article afterwards
};

class MarkTest : public Window1ActionsTest, public ::testing::WithParamInterface<MarkCase> {};

TEST_P(MarkTest, ChangesTheSelectedFeedOnlyAndKeepsRow2) {
    const MarkCase c = GetParam();
    FixtureDb db;
    ASSERT_TRUE(db.exec(c.setup));
    // Some articles for feed 3 so the row has more than one.
    ASSERT_TRUE(db.exec(std::string("INSERT INTO Articles (id, source_id, title, unread) VALUES "
                                     "(4001, 3, 'a', ") + c.expectOthers + "), (4002, 3, 'b', " + c.expectOthers + ")"));
    Window1* w = Open(db);
    ASSERT_GT(w->ListCount(), 3);
    w->SetListIndex(2);
    const QString key = w->Cell(2, 3);
    const std::string k = key.toStdString();
    const std::string othersBefore = Unread(db, "source_id IS NOT " + k);

    (w->*c.action)();

    EXPECT_EQ(db.query("SELECT count(*) FROM Articles WHERE source_id=" + k + " AND unread<>" + c.expectFeed), "0");
    EXPECT_EQ(Unread(db, "source_id IS NOT " + k), othersBefore) << "other feeds must not change";
    EXPECT_EQ(w->ListIndex(), 2);
    EXPECT_EQ(w->selectedID, 2);
    EXPECT_EQ(w->Cell(2, 3), key);
    const std::string expectedCount =
        std::string(c.expectFeed) == "0" ? "0" : db.query("SELECT count(*) FROM Articles WHERE source_id=" + k);
    EXPECT_EQ(w->Cell(2, 2).toStdString(), expectedCount);
    EXPECT_EQ(w->stNumUnread->text().toStdString(),
              db.query("SELECT sum(unread) FROM Articles WHERE source_id IN (SELECT id FROM Sources WHERE subscribed=1)"));
}

INSTANTIATE_TEST_SUITE_P(Actions, MarkTest,
                         ::testing::Values(MarkCase{"MarkRead", "UPDATE Articles SET unread=1",
                                                    &Window1::bbMarkRead_Action, "0", "1"},
                                           MarkCase{"MarkUnread", "UPDATE Articles SET unread=0",
                                                    &Window1::bbMarkUnread_Action, "1", "0"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Window1ActionsTest, WithoutASelectionMarkAndResetDoNothing) {
    FixtureDb db;
    FakeScript script("true");
    Window1* w = Open(db);
    w->SetListIndex(-1);
    ASSERT_EQ(w->ListIndex(), -1);
    const QString shownUnread = w->stNumUnread->text();
    // Changed behind the program's back: a re-read would show it, so none must happen.
    ASSERT_TRUE(db.exec("INSERT INTO Articles (id, source_id, unread) VALUES (4100, 1, 1)"));
    const std::string changed = Unread(db);
    const std::string sources = db.query("SELECT group_concat(id) FROM Sources");

    for (QPushButton* b : {w->bbMarkRead, w->bbMarkUnread, w->bbReset}) {
        b->click();
        EXPECT_EQ(Unread(db), changed) << b->text().toStdString();
        EXPECT_EQ(w->stNumUnread->text(), shownUnread) << b->text().toStdString();
        EXPECT_EQ(w->ListIndex(), -1) << b->text().toStdString();
    }
    EXPECT_EQ(db.query("SELECT group_concat(id) FROM Sources"), sources);
    EXPECT_TRUE(script.Commands().isEmpty()) << "the browser is not touched";
    EXPECT_TRUE(seams.waits.isEmpty());
}

TEST_F(Window1ActionsTest, MarkAllReadReadsEveryArticleAndSelectsRow0) {
    FixtureDb db;
    // Articles of the two unsubscribed feeds; the orphan article 2003 is in the fixture already.
    ASSERT_TRUE(db.exec("INSERT INTO Articles (id, source_id, title, unread) VALUES (4201, 4, 'x', 1), (4202, 6, 'y', 1)"));
    Window1* w = Open(db);
    w->SetListIndex(3);
    w->bbMarkAllRead->click();
    EXPECT_EQ(db.query("SELECT count(*) FROM Articles WHERE unread<>0"), "0");
    EXPECT_EQ(db.query("SELECT unread FROM Articles WHERE id=2003"), "0");
    EXPECT_EQ(w->ListIndex(), 0);
    EXPECT_EQ(w->stNumUnread->text(), QStringLiteral("0"));
    EXPECT_EQ(w->NumUnread, 0);
    for (int r = 0; r < w->ListCount(); ++r) {
        const QString unread = w->Cell(r, 2);
        EXPECT_TRUE(unread == QStringLiteral("0") || unread.isEmpty()) << r;   // empty: a feed without articles
    }
}

TEST_F(Window1ActionsTest, ResetDeletesTheFeedAndRestartsTheBrowser) {
    FixtureDb db;
    FakeScript script("false");
    Window1* w = Open(db);
    w->SetListIndex(1);
    const QString key = w->Cell(1, 3);
    const std::string k = key.toStdString();
    ASSERT_NE(db.query("SELECT count(*) FROM Articles WHERE source_id=" + k), "0");
    QList<QStringList> commandsAtWaits;
    seams.onWait = [&](int) { commandsAtWaits << script.Commands(); };

    w->bbReset->click();

    EXPECT_EQ(db.query("SELECT count(*) FROM Sources WHERE id=" + k), "0");
    EXPECT_EQ(db.query("SELECT count(*) FROM Articles WHERE source_id=" + k), "0");
    EXPECT_EQ(script.Commands(), (QStringList{"Quit", "Start"}));
    EXPECT_EQ(seams.waits, (QVector<int>{2500, 2500}));
    EXPECT_EQ(commandsAtWaits, (QList<QStringList>{{"Quit"}, {"Quit", "Start"}}));
    EXPECT_EQ(RowOf(w, key), -1) << "its row is gone after the re-read";
    EXPECT_EQ(w->ListIndex(), 0);
    EXPECT_TRUE(seams.messages.isEmpty());
}

TEST_F(Window1ActionsTest, ResetThatCannotDeleteShowsTheEnginesMessage) {
    FixtureDb db;
    FakeScript script;
    Window1* w = Open(db);
    w->SetListIndex(1);
    const std::string k = w->Cell(1, 3).toStdString();

    // Another program holds the write lock; give up at once instead of waiting for it.
    const auto busy = SqlConnection::BusyTimeout();
    SqlConnection::SetBusyTimeout(std::chrono::milliseconds(0));
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(db.path().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);

    w->bbReset->click();

    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    SqlConnection::SetBusyTimeout(busy);

    ASSERT_EQ(seams.messages.size(), 1);
    EXPECT_TRUE(seams.messages[0].contains(QStringLiteral("locked"), Qt::CaseInsensitive))
        << seams.messages[0].toStdString();
    EXPECT_EQ(db.query("SELECT count(*) FROM Sources WHERE id=" + k), "1") << "nothing half-deleted";
    EXPECT_EQ(script.Commands(), (QStringList{"Quit", "Start"}));
}

// Reset All: "Quit", 2000 ms, close, delete the file and its side files, 1000 ms, "Start", 3000 ms, re-read.
TEST_F(Window1ActionsTest, ResetAllQuitsDeletesStartsAndRereadsInThatOrder) {
    FixtureDb db;
    FakeScript script;
    Window1* w = Open(db);
    const fs::path file = db.path();
    const std::vector<fs::path> sideFiles = {file.string() + "-journal", file.string() + "-wal", file.string() + "-shm"};
    struct AtWait { int ms; QStringList commands; bool file; int sideFiles; bool connected; };
    std::vector<AtWait> seen;
    seams.onWait = [&](int ms) {
        if (ms == 2000) {   // the browser leaves its side files behind as it quits
            for (const fs::path& p : sideFiles) QFile(QString::fromStdString(p.string())).open(QIODevice::WriteOnly);
        }
        int side = 0;
        for (const fs::path& p : sideFiles) side += fs::exists(p);
        seen.push_back({ms, script.Commands(), fs::exists(file), side, app().db && app().db->IsConnected()});
    };

    w->bbResetAll->click();

    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].ms, 2000);
    EXPECT_EQ(seen[0].commands, QStringList{"Quit"});
    EXPECT_TRUE(seen[0].file);
    EXPECT_EQ(seen[0].sideFiles, 3);
    EXPECT_TRUE(seen[0].connected);

    EXPECT_EQ(seen[1].ms, 1000);
    EXPECT_EQ(seen[1].commands, QStringList{"Quit"});
    EXPECT_FALSE(seen[1].file);
    EXPECT_EQ(seen[1].sideFiles, 0) << "no journal may be left for the browser's new database";
    EXPECT_FALSE(seen[1].connected);

    EXPECT_EQ(seen[2].ms, 3000);
    EXPECT_EQ(seen[2].commands, (QStringList{"Quit", "Start"}));
    EXPECT_FALSE(seen[2].file);

    // The browser made no new file in time: the re-read says so.
    EXPECT_EQ(seams.messages, QStringList{kCannotOpen});
    EXPECT_EQ(w->ListCount(), 0);
    EXPECT_FALSE(fs::exists(file)) << "connecting never creates the file";
}

TEST_F(Window1ActionsTest, ResetAllRereadsTheNewDatabaseTheBrowserMade) {
    FixtureDb db;
    FixtureDb fresh;
    ASSERT_TRUE(fresh.exec("DELETE FROM Articles; DELETE FROM Sources WHERE id<>7"));
    FakeScript script;
    Window1* w = Open(db);
    ASSERT_GT(w->ListCount(), 1);
    seams.onWait = [&](int ms) {
        if (ms == 3000) fs::copy_file(fresh.path(), db.path());   // the restarted browser's new, nearly empty file
    };
    w->bbResetAll->click();
    EXPECT_TRUE(seams.messages.isEmpty());
    ASSERT_EQ(w->ListCount(), 1);
    EXPECT_EQ(w->Cell(0, 3), QStringLiteral("7"));
    EXPECT_EQ(w->ListIndex(), 0);
    EXPECT_EQ(w->stNumArticles->text(), QStringLiteral("0"));
}

TEST_F(Window1ActionsTest, ResetAllDeletesNothingWhenTheConnectionNeverOpened) {
    FixtureDb db;
    FakeScript script;
    Window1* w = Open(db);
    const fs::path file = db.path();
    const fs::path journal = file.string() + "-journal";
    QFile(QString::fromStdString(journal.string())).open(QIODevice::WriteOnly);
    // Bound to the very file, but never connected: nothing says the file is the database in use.
    app().db = std::make_unique<SqlConnection>(file);

    w->bbResetAll->click();

    EXPECT_TRUE(fs::exists(file));
    EXPECT_TRUE(fs::exists(journal));
    EXPECT_EQ(script.Commands(), (QStringList{"Quit", "Start"}));
    EXPECT_EQ(seams.waits, (QVector<int>{2000, 1000, 3000}));
    EXPECT_TRUE(seams.messages.isEmpty());
    EXPECT_GT(w->ListCount(), 0) << "the list is re-read all the same";
    EXPECT_EQ(w->ListIndex(), 0);
}

// A wait runs other handlers; one of them closes the main window. The action ends without touching it.
TEST_F(Window1ActionsTest, MainWindowClosedDuringAWaitIsLeftAlone) {
    struct Case { const char* button; int closeAtWait; QStringList commands; };
    for (const Case& c : {Case{"Reset", 2500, {"Quit", "Start"}}, Case{"Reset", 5000, {"Quit", "Start"}},
                          Case{"Reset All", 2000, {"Quit", "Start"}}, Case{"Reset All", 3000, {"Quit", "Start"}}}) {
        SCOPED_TRACE(std::string(c.button) + " closed at wait " + std::to_string(c.closeAtWait));
        FixtureDb db;
        FakeScript script;
        Window1* w = Open(db);
        w->SetListIndex(1);
        seams.waits.clear();
        seams.messages.clear();
        int total = 0;
        seams.onWait = [&](int ms) {
            total += ms;
            if (total == c.closeAtWait) CloseMainWindow();   // closes and deletes it
        };
        // The handler must not touch the deleted window (AddressSanitizer builds catch it if it does).
        if (QString(c.button) == "Reset")
            w->bbReset_Action();
        else
            w->bbResetAll_Action();
        EXPECT_EQ(Window1::instance(false), nullptr);
        EXPECT_EQ(script.Commands(), c.commands) << "the browser is not left quit";
        EXPECT_TRUE(seams.messages.isEmpty()) << "no re-read for a window that is gone";
        seams.onWait = nullptr;
    }
}
