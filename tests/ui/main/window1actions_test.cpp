// The five feed actions and the browser button on a real fixture database, with a fake browser script and
// timed steps that run at once.
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <atomic>
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
    w->SetListIndex(2);   // feed 3
    w->bbReset_Action();
    ASSERT_TRUE(Settle());
    EXPECT_EQ(slashdot(), "4:2/0");
    EXPECT_EQ(db.state(), "2003:1 2101:0 2102:1 2103:1 2105:1 4001:0 4002:0 / 1 2 4 6 7 8");
}

// Reset: the feed goes with its articles (or, when the engine refuses, stays whole and its message shows),
// the browser is quit and started again 2.5 s apart, and the buttons do nothing until it is all over. What
// the script answers then changes nothing: the browser's button keeps what the last check found.
TEST_F(Window1ActionsTest, ResetDeletesTheFeedOrSaysWhyNotAndRestartsTheBrowserEitherWay) {
    for (bool refused : {false, true}) {
        SCOPED_TRACE(refused ? "refused" : "deleted");
        FixtureDb db;
        FakeScript script("true");
        ASSERT_TRUE(!refused || db.exec("CREATE TRIGGER keep BEFORE DELETE ON Sources BEGIN SELECT RAISE(ABORT, 'feed kept'); END"));
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
        EXPECT_FALSE(app().SafariRunning);
        EXPECT_EQ(w->bbSafari->text(), "Start Safari");
    }
}

// Reset All: "Quit", 2000 ms, the database deleted, 1000 ms, "Start", 3000 ms, and the list read from the file
// the restarted browser has made meanwhile. (Links and side files: SyndicationFile's own tests.)
TEST_F(Window1ActionsTest, ResetAllQuitsDeletesStartsAndRereadsInThatOrder) {
    FixtureDb fresh;
    ASSERT_TRUE(fresh.exec("DELETE FROM Articles; DELETE FROM Sources WHERE id<>7"));
    Window1* w = OpenMainWindow(db);
    QStringList seen;   // at each wait: its ms, the commands so far, whether the file is there, the buttons
    seams.onWait = [&](int ms) {
        seen << QStringLiteral("%1 %2 file=%3 %4").arg(ms).arg(script.Commands().join(','))
                    .arg(int(fs::exists(db.path()))).arg(Enabled(w));
        if (ms == 3000) fs::copy_file(fresh.path(), db.path());
    };
    w->bbResetAll->click();
    ASSERT_TRUE(Settle());
    EXPECT_EQ(seen, (QStringList{"2000 Quit file=1 00000 0", "1000 Quit file=0 00000 0",
                                 "3000 Quit,Start file=0 00000 0"}));
    EXPECT_TRUE(seams.messages.isEmpty());
    EXPECT_EQ(w->ListCount(), 1);
    EXPECT_EQ(Enabled(w), "11111 1");
}

// Nothing but the feed database checked is deleted. Another program's database chosen by mistake, or none open:
// a beep and one message that names the file, and nothing quit or started. A link re-pointed at another feed
// database between the check and the deletion: said once the browser has quit, naming the file checked, and the
// browser is started again and the list read from the file the link names now.
TEST_F(Window1ActionsTest, ResetAllDeletesNothingButTheFeedDatabaseChecked) {
    FixtureDb other(false), checked, relinked;
    ASSERT_TRUE(other.exec("CREATE TABLE Notes (id INTEGER PRIMARY KEY, text TEXT); INSERT INTO Notes VALUES (1, 'keep')"));
    ASSERT_TRUE(relinked.exec("DELETE FROM Sources WHERE id<>7"));
    const QString link = GuiEnvironment::Home() + "/Database3", checkedFile = QString::fromStdString(checked.path());
    const struct { QString opened, named; const char *why, *events, *commands; int rows; } cases[] = {
        {QString::fromStdString(other.path()), "", "is not a feed database", "beep | message", "", 0},
        {GuiEnvironment::Home() + "/nowhere/Database3", "", "No feed database is open", "beep | message", "", 0},
        {link, checkedFile, "is no longer the file that was checked", "wait 2000 | beep | message | wait 1000 | wait 3000",
         "Quit,Start", 1}};
    ASSERT_TRUE(QFile::link(checkedFile, link));
    seams.onWait = [&](int ms) {
        if (ms == 2000 && QFile::remove(link)) QFile::link(QString::fromStdString(relinked.path()), link);
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.opened.toStdString());
        const QString named = c.named.isEmpty() ? c.opened : c.named;
        const QByteArray before = ReadFile(named);
        WriteFile(named + "-journal", "");
        Window1* w = OpenMainWindow(c.opened);
        seams.events.clear();
        w->bbResetAll->click();
        ASSERT_TRUE(Settle());
        // The message names the file, says why and that nothing was deleted.
        const QRegularExpression message("^message .*" + QRegularExpression::escape(named) + ".*Nothing was deleted\\.$",
                                          QRegularExpression::DotMatchesEverythingOption);
        EXPECT_TRUE(seams.events.filter(c.why).size() == 1) << c.why;
        EXPECT_EQ(seams.events.replaceInStrings(message, "message").join(" | ").toStdString(), c.events);
        EXPECT_EQ(ReadFile(named), before);
        EXPECT_TRUE(QFile::exists(named + "-journal"));
        EXPECT_EQ(script.Commands().join(',').toStdString(), c.commands);
        EXPECT_EQ(w->ListCount(), c.rows);
        EXPECT_EQ(Enabled(w), "11111 1");
    }
}

// Closing the window drops the sequence's remaining steps, but a browser it quit is started again.
TEST_F(Window1ActionsTest, ClosingTheWindowDuringAResetStartsTheBrowserAgainAndStopsThere) {
    struct Case { bool all; int closeAt; bool deleted; };
    for (const Case c : {Case{false, 2500, true}, Case{true, 2000, false}, Case{true, 3000, true}}) {
        SCOPED_TRACE((c.all ? "Reset All closed at " : "Reset closed at ") + std::to_string(c.closeAt));
        FixtureDb db;
        FakeScript script;
        Window1* w = OpenMainWindow(db);
        w->SetListIndex(1);   // feed 1
        seams.messages.clear();
        int total = 0;
        seams.onWait = [&](int ms) {
            if ((total += ms) == c.closeAt) QTimer::singleShot(0, [] { CloseMainWindow(); });
        };
        c.all ? w->bbResetAll_Action() : w->bbReset_Action();
        ASSERT_TRUE(Settle());
        EXPECT_EQ(Window1::instance(false), nullptr);
        EXPECT_EQ(script.Commands(), (QStringList{"Quit", "Start"})) << "the browser is not left quit";
        EXPECT_EQ(c.all ? !fs::exists(db.path()) : db.query("SELECT count(*) FROM Sources WHERE id=1") == "0",
                  c.deleted);
        EXPECT_TRUE(seams.messages.isEmpty()) << "no re-read for a window that is gone";
        EXPECT_FALSE(app().Exclusive());
    }
}

// Quit in the middle of Reset All, with a refresh waiting for the browser's lock: the browser is started again
// first, the waiting statement is interrupted rather than waited for, and the program ends with 0.
TEST_F(Window1ActionsTest, QuittingDuringAResetStartsTheBrowserAgainAndInterruptsWaitingWork) {
    Window1* w = OpenMainWindow(db);
    BusyTimeout longWait(60s);
    auto browser = Connected(db.path());
    std::atomic<bool> reached = false;
    seams.onWait = [&](int ms) {
        if (ms != 2000 || !browser->Execute("BEGIN EXCLUSIVE")) return;
        // The worker takes the refresh right after this job, and meets the lock: Quit is pressed then.
        app().db->Run<bool>(w, [&](SqlConnection&) { return reached = true; }, {});
        w->bbUpdate_Action();
        QTimer::singleShot(0, w, [&] {
            ASSERT_TRUE(WaitUntil([&] { return reached.load(); }));
            w->BevelButton1->click();
            QEvent quit(QEvent::Quit);   // the system asking to end at once (macOS's Quit): refused, it comes later
            EXPECT_FALSE((QCoreApplication::sendEvent(&app(), &quit), quit.isAccepted()));
        });
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
        {false, "true", "Start", "Stop Safari"}, {true, "false", "Quit", "Start Safari"},
        {true, "true", "Quit", "Stop Safari"}, {false, "yes please", "Start", "Start Safari"}};
    Window1* w = OpenMainWindow(db);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.command) + " / " + c.reply);
        app().SafariRunning = c.before;
        script.SetReply(c.reply);
        const int before = script.Commands().size();
        seams.events.clear();
        QStringList buttons;
        seams.onWait = [&](int) { buttons << Enabled(w); };
        w->bbSafari->click();
        ASSERT_TRUE(Settle());
        EXPECT_EQ(script.Commands().mid(before), (QStringList{c.command, "Check"}));
        EXPECT_EQ(seams.events, (QStringList{"wait 1000", "wait 1000"}));
        EXPECT_EQ(buttons, (QStringList{"11111 0", "11111 0"})) << "pressed again meanwhile, it does nothing";
        EXPECT_EQ(w->bbSafari->text() + " / " + w->bbSafari->toolTip(), QString(c.caption) + " / " + c.caption);
        EXPECT_EQ(app().SafariRunning, QString(c.caption) == "Stop Safari");
        EXPECT_TRUE(w->bbSafari->isEnabled());
    }
}
