// The update cycle: Timer1's countdown and refresh, "Update Now", the badge, and a window that keeps
// answering while the database is locked or the browser-control script hangs. Ticks are called by hand.
#include "ui/main/UpdateCycle.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "app/FeedDatabase.h"
#include "platform/DockTile.h"
#include "tests/support/SqlTestHelpers.h"
#include "tests/support/gui/GuiTest.h"

namespace {

bool BadgeShows(int unread) {
    const QImage tile = app().dock().CurrentPicture();
    return !tile.isNull() && tile.pixel(50, 43) == qRgb(255, 0, 0) &&
           app().dock().ToolTip() == QStringLiteral("BrindleX: %1 unread").arg(unread);
}

class UpdateCycleTest : public GuiTest {
protected:
    UpdateCycleTest() { app().dock().Restore(); }
    QString Status(Window1* w) { return w->stCounter->text() + (w->ProgressWheel1->isHidden() ? "" : " +wheel"); }
    FixtureDb db;
};

}  // namespace

// The countdown keeps the selection; "Update Now" keeps no selection, says Ready and starts the countdown again. A
// counter past the interval refreshes on the tick too.
TEST_F(UpdateCycleTest, IntervalThreeCountsDownAndRefreshesOnTheThirdTickAndUpdateNowRestartsIt) {
    FakeScript script("true");
    Window1* w = OpenMainWindow(db, false, 3);
    EXPECT_TRUE(app().dock().CurrentPicture().isNull()) << "no badge before the first update";
    SelectFeed(w, "3");   // row 2
    ASSERT_TRUE(db.exec("DELETE FROM Articles"));   // seen only once the list is re-read
    const char* expected[][2] = {{"Next check in 2 seconds", "Next check in 2 seconds"},
                                 {"Next check in 1 seconds", "Next check in 1 seconds"},
                                 {"Updating... +wheel", "Updating..."}};
    for (int tick = 0; tick < 3; ++tick) {
        w->Timer1_Action();
        EXPECT_EQ(Status(w), expected[tick][0]) << tick;
        ASSERT_TRUE(Settle());
        EXPECT_EQ(Status(w), expected[tick][1]) << tick;
        EXPECT_EQ(w->stNumUnread->text().isEmpty(), tick == 2) << tick;
        EXPECT_TRUE(BadgeShows(w->stNumUnread->text().toInt())) << tick;
    }
    EXPECT_EQ(script.Commands(), (QStringList{"Check", "Check", "Check"}));
    EXPECT_EQ(w->CurrentTime, seams.clock) << "the clock shown at each tick";
    EXPECT_EQ(w->bbSafari->text(), "Stop Safari");
    EXPECT_EQ(w->ListIndex(), 2);
    EXPECT_EQ(w->Cell(2, FeedListModel::Key), "3");

    app().Counter = 1;
    ASSERT_TRUE(db.exec("INSERT INTO Articles (id, source_id, unread) VALUES (4100, 7, 1)"));
    w->SetListIndex(-1);
    w->bbUpdate->click();
    EXPECT_EQ(Status(w), "Updating... +wheel");
    ASSERT_TRUE(Settle());
    EXPECT_EQ(w->ListIndex(), -1);
    EXPECT_EQ(Status(w), "Ready.  Click Update to check.");
    EXPECT_TRUE(BadgeShows(1));
    w->Timer1_Action();
    EXPECT_EQ(Status(w), "Next check in 2 seconds") << "a full interval from now";

    app().UpdateInterval = 0;   // passed, and an interval below 1 counts as 1: refreshed on this tick all the same
    app().Counter = 5;
    w->Timer1_Action();
    EXPECT_EQ(Status(w), "Updating... +wheel");
    ASSERT_TRUE(Settle());
    EXPECT_EQ(app().Counter, 0);
}

// While the browser holds the database, the refresh waits on the worker: the window goes on answering and
// ticks start no second refresh. A file chosen meanwhile (in the preferences) wins: the result for the old
// one is dropped and the chosen file's list shown once the lock goes.
TEST_F(UpdateCycleTest, TheWindowAnswersWhileARefreshWaitsForALockedDatabase) {
    FixtureDb chosen;
    ASSERT_TRUE(chosen.exec("DELETE FROM Sources WHERE id<>7"));
    Window1* w = OpenMainWindow(db, false, 1);
    auto browser = Connected(db.path());   // the browser holds its write lock
    ASSERT_TRUE(browser->Execute("BEGIN EXCLUSIVE"));
    w->bbUpdate->click();
    bool answered = false;   // the window's own events run meanwhile
    QTimer::singleShot(0, w, [&] { answered = true; });
    ASSERT_TRUE(WaitUntil([&] { return answered && !app().db->Idle(); }));
    EXPECT_EQ(Status(w), "Updating... +wheel");
    EXPECT_EQ(w->ListCount(), 5) << "not re-read yet";
    w->Timer1_Action();   // the counter has passed the interval, but one refresh is on its way
    w->Timer1_Action();
    app().dbFileName = QString::fromStdString(chosen.path());
    browser->Execute("ROLLBACK");
    ASSERT_TRUE(Settle());
    EXPECT_EQ(w->ListCount(), 1);
    EXPECT_TRUE(w->ProgressWheel1->isHidden());
    EXPECT_TRUE(seams.messages.isEmpty());
}

// A script that never answers holds nothing up: the window answers, a tick that finds the check still
// running starts no other, and the time-out ends the script, which counts as the browser not running.
TEST_F(UpdateCycleTest, TheWindowAnswersWhileTheBrowserScriptHangs) {
    FakeScript script("true");
    script.SetHang(true);
    app().browser().Runner().SetTimeout(300);
    Window1* w = OpenMainWindow(db);
    w->bbSafari->setText("Stop Safari");
    w->Timer2_Action();
    w->Timer2_Action();
    ASSERT_TRUE(WaitUntil([&] { return !script.Commands().isEmpty(); }));   // the script runs, the window answers
    EXPECT_EQ(script.Commands(), QStringList{"Check"});
    ASSERT_TRUE(Settle());
    EXPECT_EQ(w->bbSafari->text(), "Start Safari");
    EXPECT_EQ(w->bbSafari->toolTip(), "Sart or stop Safari") << "a tick changes the caption only";
}
