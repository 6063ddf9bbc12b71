// The five feed actions and the browser button on a real fixture database, with a fake browser script and
// timed steps that run at once.
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <gtest/gtest.h>

#include "app/FeedDatabase.h"
#include "ui/main/FeedListModel.h"
#include "tests/support/SqlTestHelpers.h"
#include "tests/support/gui/FakeScript.h"
#include "tests/support/gui/GuiTest.h"
#include "ui/main/Window1.h"

namespace fs = std::filesystem;

namespace {

class Window1ActionsTest : public GuiTest {
protected:
    static void Touch(const fs::path& p) { QFile(QString::fromStdString(p.string())).open(QIODevice::WriteOnly); }
    /// Which of the five action buttons and the browser button are enabled, as "11111 1".
    static QString Enabled(Window1* w) {
        QString s;
        for (QPushButton* b : {w->bbMarkRead, w->bbMarkUnread, w->bbMarkAllRead, w->bbReset, w->bbResetAll})
            s += b->isEnabled() ? '1' : '0';
        return s + ' ' + (w->bbSafari->isEnabled() ? '1' : '0');
    }
    FixtureDb db;
    FakeScript script;
};

}  // namespace

// Mark Read and Mark Unread change the selected feed only and keep its row; Mark All Read reads every article,
// orphans too, and selects row 0. With no row selected, Mark Read, Mark Unread and Reset do nothing at all:
// no statement, no re-read (an article added behind the program's back stays unseen), no browser command.
TEST_F(Window1ActionsTest, MarkActionsChangeWhatTheySayAndKeepOrResetTheSelection) {
    const struct { void (Window1::*action)(); int row; const char* flags; const char* shown; int rowAfter; } cases[] = {
        {&Window1::bbMarkRead_Action, 1, "1 0 0 1 0 1 1", "3", 1},   // row 1: feed 1, articles 2101 and 2102
        {&Window1::bbMarkUnread_Action, 1, "1 1 1 1 0 1 1", "5", 1},
        {&Window1::bbMarkAllRead_Action, 3, "0 0 0 0 0 0 0", "0", 0},
        {&Window1::bbMarkRead_Action, -1, "1 0 1 1 0 1 1", "3", -1},
        {&Window1::bbMarkUnread_Action, -1, "1 0 1 1 0 1 1", "3", -1},
        {&Window1::bbReset_Action, -1, "1 0 1 1 0 1 1", "3", -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << c.row << ", " << c.flags);
        FixtureDb db;
        Window1* w = OpenMainWindow(db);
        w->SetListIndex(c.row);
        ASSERT_TRUE(Settle());   // the selected feed's details are read first: an insert meanwhile would find it locked
        ASSERT_TRUE(db.exec("INSERT INTO Articles (id, source_id, unread) VALUES (4100, 7, 1)"));
        (w->*c.action)();
        ASSERT_TRUE(Settle());
        EXPECT_EQ(db.query("SELECT group_concat(unread, ' ') FROM (SELECT unread FROM Articles ORDER BY id)"), c.flags);
        EXPECT_EQ(w->stNumUnread->text(), c.shown);
        EXPECT_EQ(w->ListIndex(), c.rowAfter);
    }
    EXPECT_TRUE(script.Commands().isEmpty()) << "the browser is not touched";
}

// Two feeds of one title are two rows, each with its own counts, and each row's actions change its own feed.
TEST_F(Window1ActionsTest, FeedsSharingATitleAreARowEachAndEachRowActsOnItsOwnFeed) {
    ASSERT_TRUE(db.exec("UPDATE Sources SET subscribed=1 WHERE id=4; UPDATE Articles SET unread=1 WHERE id=2104;"
                        "INSERT INTO Articles (id, source_id, unread) VALUES (4001, 4, 1), (4002, 4, 1)"));
    Window1* w = OpenMainWindow(db);
    const auto slashdot = [w] {
        QStringList rows;
        for (int r = 0; r < w->ListCount(); ++r)
            if (w->Cell(r, FeedListModel::Title) == "Slashdot")
                rows << w->Cell(r, FeedListModel::Key) + ":" + w->Cell(r, FeedListModel::Articles) + "/" + w->Cell(r, FeedListModel::Unread);
        return rows.join(' ');
    };
    EXPECT_EQ(slashdot(), "3:1/1 4:2/2");
    w->SetListIndex(3);   // feed 4
    w->bbMarkRead_Action();
    ASSERT_TRUE(Settle());
    EXPECT_EQ(slashdot(), "3:1/1 4:2/0");
    EXPECT_EQ(db.query("SELECT group_concat(id || ':' || unread, ' ') FROM Articles WHERE id IN (2104, 4001, 4002)"), "2104:1 4001:0 4002:0");
    w->SetListIndex(2);   // feed 3
    w->bbReset_Action();
    ASSERT_TRUE(Settle());
    EXPECT_EQ(slashdot(), "4:2/0");
    EXPECT_EQ(db.state(), "2003:1 2101:0 2102:1 2103:1 2105:1 4001:0 4002:0 / 1 2 4 6 7 8");
}

// Reset: the feed goes with its articles (or, when the engine refuses, stays whole and its message shows),
// the browser is quit and started again 2.5 s apart, and the buttons do nothing until it is all over.
TEST_F(Window1ActionsTest, ResetDeletesTheFeedOrSaysWhyNotAndRestartsTheBrowserEitherWay) {
    for (bool refused : {false, true}) {
        SCOPED_TRACE(refused ? "refused" : "deleted");
        FixtureDb db;
        FakeScript script;
        if (refused) {
            ASSERT_TRUE(db.exec("CREATE TRIGGER keep BEFORE DELETE ON Sources BEGIN SELECT RAISE(ABORT, 'feed kept'); END"));
        }
        Window1* w = OpenMainWindow(db);
        w->SetListIndex(1);   // feed 1, with articles 2101 and 2102
        QStringList seen;     // at each wait: its ms, the commands so far, the buttons
        seams.messages.clear();
        seams.onWait = [&](int ms) { seen << QString::number(ms) + " " + script.Commands().join(',') + " " + Enabled(w); };
        w->bbReset->click();
        ASSERT_TRUE(Settle());
        EXPECT_EQ(seen, (QStringList{"2500 Quit 00000 0", "2500 Quit,Start 00000 0"}));
        EXPECT_EQ(Enabled(w), "11111 1");
        EXPECT_EQ(db.state(), refused ? FixtureDb::kState : "2003:1 2103:1 2104:0 2105:1 / 2 3 4 6 7 8");
        EXPECT_EQ(seams.messages.size(), refused ? 1 : 0);
        EXPECT_TRUE(!refused || seams.messages.value(0).contains("feed kept"));
        EXPECT_EQ(w->ListIndex(), 0);
        EXPECT_EQ(w->ListCount(), refused ? 5 : 4);
    }
}

// Reset All: "Quit", 2000 ms, the file and its side files deleted, 1000 ms, "Start", 3000 ms, re-read. The
// database is opened through a link: the file it points to goes, with the side files beside that file, and the
// link stays for the browser's new database to be found through.
TEST_F(Window1ActionsTest, ResetAllQuitsDeletesStartsAndRereadsInThatOrder) {
    for (bool newFile : {false, true}) {   // whether the restarted browser has made its new file in time
        SCOPED_TRACE(newFile);
        FixtureDb db, fresh;
        ASSERT_TRUE(fresh.exec("DELETE FROM Articles; DELETE FROM Sources WHERE id<>7"));
        FakeScript script;
        const fs::path file = db.path(), link = fs::path(GuiEnvironment::Home().toStdString()) / "Database3";
        fs::remove(link);
        fs::create_symlink(file, link);
        Window1* w = OpenMainWindow(QString::fromStdString(link.string()));
        QStringList seen;   // at each wait: its ms, the commands so far, file, side files left, buttons
        seams.messages.clear();
        seams.onWait = [&](int ms) {
            int side = 0;
            for (const char* suffix : {"-journal", "-wal", "-shm"}) {
                if (ms == 2000) Touch(file.string() + suffix);   // the quitting browser leaves them behind
                side += fs::exists(file.string() + suffix);
            }
            seen << QStringLiteral("%1 %2 file=%3 side=%4 %5").arg(ms).arg(script.Commands().join(','))
                        .arg(int(fs::exists(file))).arg(side).arg(Enabled(w));
            if (ms == 3000 && newFile) fs::copy_file(fresh.path(), file);
        };
        w->bbResetAll->click();
        ASSERT_TRUE(Settle());
        EXPECT_EQ(seen, (QStringList{"2000 Quit file=1 side=3 00000 0", "1000 Quit file=0 side=0 00000 0",
                                     "3000 Quit,Start file=0 side=0 00000 0"}));
        EXPECT_TRUE(fs::is_symlink(link));
        EXPECT_EQ(seams.messages, newFile ? QStringList() : QStringList{"The database couldn't be opened."});
        EXPECT_EQ(fs::exists(file), newFile) << "connecting never creates the file";
        EXPECT_EQ(w->ListCount(), newFile ? 1 : 0);
        EXPECT_EQ(Enabled(w), "11111 1");
    }
}

// Another program's database chosen by mistake, or none open at all: a beep and one message that names the
// file, and nothing deleted, quit or started.
TEST_F(Window1ActionsTest, ResetAllDeletesOnlyAFeedDatabase) {
    FixtureDb other(false);
    ASSERT_TRUE(other.exec("CREATE TABLE Notes (id INTEGER PRIMARY KEY, text TEXT); INSERT INTO Notes VALUES (1, 'keep')"));
    const QString missing = GuiEnvironment::Home() + "/nowhere/Database3";
    for (const QString& path : {QString::fromStdString(other.path()), missing}) {
        SCOPED_TRACE(path.toStdString());
        const QByteArray before = ReadFile(path);
        QDir().mkpath(QFileInfo(path).absolutePath());
        Touch(path.toStdString() + "-journal");
        Window1* w = OpenMainWindow(path);
        seams.events.clear();
        w->bbResetAll->click();
        ASSERT_TRUE(Settle());
        ASSERT_EQ(seams.events.size(), 2);
        EXPECT_EQ(seams.events[0], "beep");
        EXPECT_TRUE(seams.events[1].contains(path) && seams.events[1].endsWith("Nothing was deleted."))
            << seams.events[1].toStdString();
        EXPECT_EQ(ReadFile(path), before);
        EXPECT_TRUE(QFile::exists(path + "-journal"));
        EXPECT_TRUE(script.Commands().isEmpty());
        EXPECT_EQ(Enabled(w), "11111 1");
    }
}

// The link re-pointed at another feed database between the check and the deletion: neither file goes, the user is
// told which file was checked, and the browser is started again and the list read.
TEST_F(Window1ActionsTest, ResetAllDeletesNothingOnceThePathNamesAnotherFile) {
    FixtureDb checked, other;
    ASSERT_TRUE(other.exec("DELETE FROM Sources WHERE id<>7"));
    const fs::path link = fs::path(GuiEnvironment::Home().toStdString()) / "Database3";
    fs::remove(link);
    fs::create_symlink(checked.path(), link);
    Window1* w = OpenMainWindow(QString::fromStdString(link.string()));
    seams.events.clear();
    seams.onWait = [&](int ms) {
        if (ms != 2000) return;
        fs::remove(link);
        fs::create_symlink(other.path(), link);
    };
    w->bbResetAll->click();
    ASSERT_TRUE(Settle());
    EXPECT_EQ(checked.state(), FixtureDb::kState);
    EXPECT_EQ(other.state(), "2003:1 2101:0 2102:1 2103:1 2104:0 2105:1 / 7");
    ASSERT_EQ(seams.events.size(), 5) << seams.events.join(" | ").toStdString();   // said once the file is found replaced
    EXPECT_EQ(seams.events.mid(0, 2) + seams.events.mid(3), (QStringList{"wait 2000", "beep", "wait 1000", "wait 3000"}));
    EXPECT_TRUE(seams.events[2].contains(QString::fromStdString(checked.path())) &&
                seams.events[2].endsWith("Nothing was deleted.")) << seams.events[2].toStdString();
    EXPECT_EQ(script.Commands(), (QStringList{"Quit", "Start"}));
    EXPECT_EQ(w->ListCount(), 1) << "the list shows the file the path names now";
    EXPECT_EQ(Enabled(w), "11111 1");
}

// Closing the window drops the sequence's remaining steps, but a browser it quit is started again.
TEST_F(Window1ActionsTest, ClosingTheWindowDuringAResetStartsTheBrowserAgainAndStopsThere) {
    struct Case { bool all; int closeAt; bool deleted; };
    for (const Case c : {Case{false, 2500, true}, Case{false, 5000, true}, Case{true, 2000, false},
                         Case{true, 3000, true}}) {
        SCOPED_TRACE((c.all ? "Reset All closed at " : "Reset closed at ") + std::to_string(c.closeAt));
        FixtureDb db;
        FakeScript script;
        Window1* w = OpenMainWindow(db);
        w->SetListIndex(1);
        const std::string key = w->Cell(1, 3).toStdString();
        seams.messages.clear();
        int total = 0;
        seams.onWait = [&](int ms) {
            if ((total += ms) == c.closeAt) QTimer::singleShot(0, [] { CloseMainWindow(); });
        };
        c.all ? w->bbResetAll_Action() : w->bbReset_Action();
        ASSERT_TRUE(Settle());
        EXPECT_EQ(Window1::instance(false), nullptr);
        EXPECT_EQ(script.Commands(), (QStringList{"Quit", "Start"})) << "the browser is not left quit";
        EXPECT_EQ(c.all ? !fs::exists(db.path()) : db.query("SELECT count(*) FROM Sources WHERE id=" + key) == "0",
                  c.deleted);
        EXPECT_TRUE(seams.messages.isEmpty()) << "no re-read for a window that is gone";
        EXPECT_FALSE(app().Exclusive());
    }
}

// Quitting the program in the middle of Reset All starts the browser again first.
// Quit in the middle of Reset All, with a refresh waiting for the browser's lock: the browser is started again
// first, the waiting statement is interrupted rather than waited for, and the program ends with 0.
TEST_F(Window1ActionsTest, QuittingDuringAResetStartsTheBrowserAgainAndInterruptsWaitingWork) {
    Window1* w = OpenMainWindow(db);
    BusyTimeout longWait(60s);
    auto browser = Connected(db.path());
    seams.onWait = [&](int ms) {
        if (ms != 2000 || !browser->Execute("BEGIN EXCLUSIVE")) return;
        w->bbUpdate_Action();
        QTimer::singleShot(50, w->BevelButton1, &QPushButton::click);
    };
    QTimer::singleShot(0, w, [w] { w->bbResetAll_Action(); });
    QTimer safetyNet;   // never reached; it goes with the test, so no later test meets it
    safetyNet.callOnTimeout([] { QCoreApplication::exit(7); });
    safetyNet.start(5000);
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_EQ(script.Commands(), (QStringList{"Quit", "Start"}));
    browser->Execute("ROLLBACK");
    app().db = std::make_unique<FeedDatabase>();   // the stopped worker takes no more jobs
}

TEST_F(Window1ActionsTest, BrowserButtonSendsTheCommandWaitsChecksWaitsAndShowsTheReply) {
    const struct { bool before; const char *reply, *command, *caption; } cases[] = {
        {false, "true", "Start", "Stop Safari"}, {false, "false", "Start", "Start Safari"},
        {true, "false", "Quit", "Start Safari"}, {true, "true", "Quit", "Stop Safari"},
        {false, "yes please", "Start", "Start Safari"}};
    Window1* w = OpenMainWindow(db);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.command) + " / " + c.reply);
        app().SafariRunning = c.before;
        script.SetReply(c.reply);
        script.ClearCommands();
        seams.waits.clear();
        QStringList buttons;
        seams.onWait = [&](int) { buttons << Enabled(w); };
        w->bbSafari->click();
        ASSERT_TRUE(Settle());
        EXPECT_EQ(script.Commands(), (QStringList{c.command, "Check"}));
        EXPECT_EQ(seams.waits, (QVector<int>{1000, 1000}));
        EXPECT_EQ(buttons, (QStringList{"11111 0", "11111 0"})) << "pressed again meanwhile, it does nothing";
        EXPECT_EQ(w->bbSafari->text() + " / " + w->bbSafari->toolTip(), QString(c.caption) + " / " + c.caption);
        EXPECT_EQ(app().SafariRunning, QString(c.caption) == "Stop Safari");
        EXPECT_TRUE(w->bbSafari->isEnabled());
    }
}
