// The update cycle: Timer1's countdown and refresh, "Update Now", the badge on the tile and "Quit".
// Ticks are called by hand; the fake seams make every yield instant.
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include "platform/DockTile.h"
#include "tests/support/gui/FakeScript.h"
#include "tests/support/gui/GuiTest.h"
#include "ui/main/Window1.h"

namespace {

class Window1CycleTest : public GuiTest {
protected:
    // Records the status text at every yield, with " +wheel" while the wheel shows.
    Window1CycleTest() {
        app().dock().Restore();
        app().seams.yield = [this, inner = app().seams.yield] {
            if (Window1* w = Window1::instance(false))
                atYields << w->stCounter->text() + (w->ProgressWheel1->isHidden() ? "" : " +wheel");
            inner();
        };
    }
    Window1* Open(FixtureDb& fixture, int interval) {   // ticks are called by hand
        Window1* w = OpenMainWindow(fixture, false, interval);
        w->Timer2->stop();
        return w;
    }
    FixtureDb db;
    QStringList atYields;
};

bool BadgeShows(int unread) {
    const QImage tile = app().dock().CurrentPicture();
    return !tile.isNull() && tile.pixel(50, 43) == qRgb(255, 0, 0) &&
           app().dock().ToolTip() == QStringLiteral("BrindleX: %1 unread").arg(unread);
}

}  // namespace

TEST_F(Window1CycleTest, IntervalThreeCountsDownAndRefreshesOnTheThirdTickKeepingTheSelection) {
    FakeScript script("true");
    Window1* w = Open(db, 3);
    w->SetListIndex(2);
    const QString key = w->Cell(2, 3);
    ASSERT_FALSE(w->stNumUnread->text().isEmpty());
    ASSERT_TRUE(db.exec("DELETE FROM Articles"));   // seen only once the list is re-read
    const QStringList expected[] = {{"Next check in 2 seconds", "Next check in 2 seconds"},
                                    {"Next check in 1 seconds", "Next check in 1 seconds"},
                                    {"Next check in 0 seconds", "Updating... +wheel", "Updating..."}};
    for (int tick = 0; tick < 3; ++tick) {
        atYields.clear();
        w->Timer1_Action();
        EXPECT_EQ(atYields, expected[tick]) << tick;
        EXPECT_EQ(w->stNumUnread->text().isEmpty(), tick == 2) << tick;
        EXPECT_TRUE(BadgeShows(w->stNumUnread->text().toInt())) << tick;
    }
    EXPECT_EQ(script.Commands(), (QStringList{"Check", "Check", "Check"}));
    EXPECT_EQ(w->ListIndex(), 2);
    EXPECT_EQ(w->Cell(2, 3), key);
}

// Reached or passed refreshes on this tick and never counts below 0; an interval below 1 counts as 1.
TEST_F(Window1CycleTest, TickRefreshesWhenTheCounterReachesOrPassesTheInterval) {
    struct Case { int interval, counterBefore; };
    for (const Case c : {Case{1, 0}, Case{3, 3}, Case{3, 5}, Case{0, 0}, Case{-5, 7}}) {
        SCOPED_TRACE(std::to_string(c.interval) + " from " + std::to_string(c.counterBefore));
        FixtureDb db;   // each case on a database of its own
        Window1* w = Open(db, c.interval);
        app().Counter = c.counterBefore;
        ASSERT_TRUE(db.exec("DELETE FROM Articles"));
        atYields.clear();
        w->Timer1_Action();
        EXPECT_EQ(atYields.value(0), QStringLiteral("Next check in 0 seconds"));
        EXPECT_TRUE(atYields.contains("Updating... +wheel"));
        EXPECT_EQ(app().Counter, 0);
        EXPECT_TRUE(w->stNumUnread->text().isEmpty()) << "the re-read sees the emptied table";
    }
}

TEST_F(Window1CycleTest, UpdateNowDrawsTheBadgeSaysReadyRestartsTheCountdownAndKeepsNoSelection) {
    Window1* w = Open(db, 5);
    EXPECT_TRUE(app().dock().CurrentPicture().isNull()) << "no badge before the first update";
    app().Counter = 3;
    ASSERT_TRUE(db.exec("UPDATE Articles SET unread=0"));
    w->SetListIndex(-1);
    atYields.clear();
    w->bbUpdate->click();
    EXPECT_EQ(w->ListIndex(), -1);
    EXPECT_EQ(w->stCounter->text(), QStringLiteral("Ready.  Click Update to check."));
    EXPECT_EQ(w->stNumUnread->text(), QStringLiteral("0"));
    // Before, inside the refresh, after the badge; the wheel hidden again at the end.
    EXPECT_EQ(atYields, (QStringList{"Ready.  Click Update to check.", "Updating... +wheel", "Updating..."}));
    EXPECT_TRUE(BadgeShows(0));
    atYields.clear();
    w->Timer1_Action();
    EXPECT_EQ(atYields.value(0), QStringLiteral("Next check in 4 seconds")) << "a full interval from now";
}

// A refresh waiting in its message box lets ticks run; they must not stack further refreshes.
TEST_F(Window1CycleTest, TickDuringARefreshsMessageDoesNotRefreshAgain) {
    Window1* w = Open(db, 1);
    app().dbFileName = QStringLiteral("/nonexistent/Database3");
    int nested = 0;
    app().seams.message = [&, inner = app().seams.message](const QString& text) {
        inner(text);
        if (nested++ < 3) w->Timer1_Action();   // the modal box's event loop runs the timer
    };
    w->Timer1_Action();
    EXPECT_EQ(seams.messages, QStringList{"The database couldn't be opened."});
    EXPECT_EQ(app().Counter, 0);
    EXPECT_TRUE(w->ProgressWheel1->isHidden());
}

TEST_F(Window1CycleTest, MainWindowClosedDuringAYieldIsLeftAlone) {
    for (int i = 0; i < 6; ++i) {
        const int closeAt = i / 2 + 1;
        const bool update = i % 2;
        SCOPED_TRACE((update ? "Update Now, yield " : "tick, yield ") + std::to_string(closeAt));
        FixtureDb db;   // each case on a database of its own
        Window1* w = Open(db, 1);
        app().dock().Restore();
        int yields = 0;
        const auto inner = app().seams.yield;
        app().seams.yield = [&] {
            if (++yields == closeAt) CloseMainWindow();
            inner();
        };
        update ? w->bbUpdate_Action() : w->Timer1_Action();
        app().seams.yield = inner;
        EXPECT_EQ(Window1::instance(false), nullptr);
        // "Update Now" draws its badge before its last yield; otherwise a window gone draws none.
        EXPECT_EQ(app().dock().CurrentPicture().isNull(), !(update && closeAt == 3));
    }
}

TEST_F(Window1CycleTest, QuitEndsTheEventLoopWithCode0) {
    Window1* w = Open(db, 10);
    QTimer::singleShot(0, w->BevelButton1, &QPushButton::click);
    QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(7); });   // a safety net, never reached
    EXPECT_EQ(QCoreApplication::exec(), 0);
}
