// The update cycle: the countdown of Timer1, the refresh with its yields, "Update Now", the badge on
// the tile, "Preferences" and "Quit". Ticks are called by hand; the fake seams make every yield instant.
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/App.h"
#include "platform/DockTile.h"
#include "tests/support/FixtureDb.h"
#include "tests/support/gui/FakeScript.h"
#include "tests/support/gui/GuiTest.h"
#include "ui/main/Window1.h"
#include "ui/prefs/winPrefs.h"

namespace {

const QString kReady = QStringLiteral("Ready.  Click Update to check.");

class Window1CycleTest : public GuiTest {
protected:
    Window1CycleTest() { app().dock().Restore(); }

    Window1* Open(FixtureDb& db, bool autoRefresh, int interval) {
        Window1* w = OpenMainWindow(db, autoRefresh, interval);
        w->Timer1->stop();
        w->Timer2->stop();
        return w;
    }
    /// Records, at every yield, the status text and whether the wheel shows.
    void WatchYields(Window1* w) {
        auto inner = app().seams.yield;
        app().seams.yield = [this, w, inner] {
            atYields << w->stCounter->text() + (w->ProgressWheel1->isHidden() ? "" : " +wheel");
            inner();
        };
    }
    QStringList atYields;
};

bool BadgeShows(int unread) {
    const QImage tile = app().dock().CurrentPicture();
    return !tile.isNull() && tile.pixel(50, 43) == qRgb(255, 0, 0) &&
           app().dock().ToolTip() == QStringLiteral("BrindleX: %1 unread").arg(unread);
}

}  // namespace

TEST_F(Window1CycleTest, IntervalThreeCountsDownTwoOneAndRefreshesOnTheThirdTick) {
    FixtureDb db;
    FakeScript script("true");
    Window1* w = Open(db, true, 3);
    WatchYields(w);
    const QString before = w->stNumUnread->text();
    ASSERT_TRUE(db.exec("UPDATE Articles SET unread=1"));   // seen only once the list is re-read
    const QString after = QString::fromStdString(
        db.query("SELECT sum(unread) FROM Articles WHERE source_id IN (SELECT id FROM Sources WHERE subscribed=1)"));
    ASSERT_NE(before, after);

    w->Timer1_Action();
    EXPECT_EQ(atYields, (QStringList{"Next check in 2 seconds", "Next check in 2 seconds"}));
    EXPECT_EQ(app().Counter, 1);
    EXPECT_EQ(w->stNumUnread->text(), before);
    EXPECT_TRUE(BadgeShows(w->NumUnread));

    atYields.clear();
    w->Timer1_Action();
    EXPECT_EQ(atYields, (QStringList{"Next check in 1 seconds", "Next check in 1 seconds"}));
    EXPECT_EQ(app().Counter, 2);
    EXPECT_EQ(w->stNumUnread->text(), before);

    atYields.clear();
    w->Timer1_Action();
    // Countdown text, then the refresh's own yield with "Updating..." and the wheel, then the badge's.
    EXPECT_EQ(atYields, (QStringList{"Next check in 0 seconds", "Updating... +wheel", "Updating..."}));
    EXPECT_EQ(app().Counter, 0);
    EXPECT_EQ(w->stNumUnread->text(), after);
    EXPECT_EQ(w->stCounter->text(), QStringLiteral("Updating..."));
    EXPECT_TRUE(w->ProgressWheel1->isHidden());
    EXPECT_TRUE(BadgeShows(after.toInt()));
    // Every tick checked the browser.
    EXPECT_EQ(script.Commands(), (QStringList{"Check", "Check", "Check"}));
    EXPECT_EQ(w->bbSafari->text(), QStringLiteral("Stop Safari"));
    EXPECT_TRUE(app().SafariRunning);

    atYields.clear();
    w->Timer1_Action();
    EXPECT_EQ(atYields.value(0), QStringLiteral("Next check in 2 seconds"));
}

// One tick from a given counter: the text it shows and whether it refreshes.
struct TickCase {
    int interval;
    int counterBefore;
    const char* text;
    bool refreshes;
};

class TickTest : public Window1CycleTest, public ::testing::WithParamInterface<TickCase> {};

TEST_P(TickTest, ShowsTheCountdownAndRefreshesWhenReachedOrPassed) {
    const TickCase c = GetParam();
    FixtureDb db;
    Window1* w = Open(db, true, c.interval);
    WatchYields(w);
    app().Counter = c.counterBefore;
    ASSERT_TRUE(db.exec("DELETE FROM Articles"));

    w->Timer1_Action();

    EXPECT_EQ(atYields.value(0), QString::fromLatin1(c.text));
    EXPECT_EQ(atYields.contains("Updating... +wheel"), c.refreshes);
    EXPECT_EQ(app().Counter, c.refreshes ? 0 : c.counterBefore + 1);
    EXPECT_EQ(w->stNumUnread->text().isEmpty(), c.refreshes) << "the re-read sees the emptied table";
}

INSTANTIATE_TEST_SUITE_P(
    Countdown, TickTest,
    ::testing::Values(TickCase{3, 0, "Next check in 2 seconds", false}, TickCase{3, 1, "Next check in 1 seconds", false},
                      TickCase{3, 2, "Next check in 0 seconds", true},
                      TickCase{1, 0, "Next check in 0 seconds", true},    // every tick refreshes
                      TickCase{10, 0, "Next check in 9 seconds", false},
                      // lowered below the counter by saving preferences: refreshes now, never counts negative
                      TickCase{3, 5, "Next check in 0 seconds", true}, TickCase{3, 3, "Next check in 0 seconds", true},
                      // 0 and below count as 1
                      TickCase{0, 0, "Next check in 0 seconds", true}, TickCase{-5, 7, "Next check in 0 seconds", true}),
    [](const auto& info) {
        const auto n = [](int v) { return (v < 0 ? "minus" : "") + std::to_string(v < 0 ? -v : v); };
        return "interval" + n(info.param.interval) + "counter" + n(info.param.counterBefore);
    });

TEST_F(Window1CycleTest, IntervalOneRefreshesOnEveryTick) {
    FixtureDb db;
    Window1* w = Open(db, true, 1);
    for (int tick = 0; tick < 3; ++tick) {
        ASSERT_TRUE(db.exec("INSERT INTO Articles (id, source_id, unread) VALUES (" + std::to_string(5000 + tick) + ", 1, 1)"));
        const std::string expected = db.query("SELECT count(*) FROM Articles WHERE source_id IN "
                                              "(SELECT id FROM Sources WHERE subscribed=1)");
        w->Timer1_Action();
        EXPECT_EQ(w->stNumArticles->text().toStdString(), expected) << tick;
        EXPECT_EQ(app().Counter, 0);
    }
}

TEST_F(Window1CycleTest, UpdateNowRestartsTheCountdownAndSaysReady) {
    FixtureDb db;
    Window1* w = Open(db, true, 5);
    WatchYields(w);
    app().Counter = 3;
    ASSERT_TRUE(db.exec("UPDATE Articles SET unread=0"));

    w->bbUpdate->click();

    EXPECT_EQ(app().Counter, 0);
    EXPECT_EQ(w->stCounter->text(), kReady);
    EXPECT_EQ(w->stNumUnread->text(), QStringLiteral("0"));
    EXPECT_TRUE(w->ProgressWheel1->isHidden());
    EXPECT_EQ(atYields.size(), 3);   // before, inside the refresh, after the badge
    EXPECT_EQ(atYields.value(1), QStringLiteral("Updating... +wheel"));
    EXPECT_TRUE(BadgeShows(0));

    atYields.clear();
    w->Timer1_Action();
    EXPECT_EQ(atYields.value(0), QStringLiteral("Next check in 4 seconds")) << "a full interval from now";
}

TEST_F(Window1CycleTest, UpdateNowInManualModeDrawsTheBadgeToo) {
    FixtureDb db;
    Window1* w = Open(db, false, 10);
    EXPECT_TRUE(app().dock().CurrentPicture().isNull()) << "no badge before the first update";
    w->bbUpdate_Action();
    EXPECT_TRUE(BadgeShows(w->NumUnread));
    EXPECT_EQ(w->stCounter->text(), kReady);
}

TEST_F(Window1CycleTest, RefreshKeepsTheSelectedRowAndKeepsNoneWhenNoneWasSelected) {
    FixtureDb db;
    Window1* w = Open(db, true, 1);
    w->SetListIndex(2);
    const QString key = w->Cell(2, 3);
    w->Timer1_Action();
    EXPECT_EQ(w->ListIndex(), 2);
    EXPECT_EQ(w->selectedID, 2);
    EXPECT_EQ(w->Cell(w->ListIndex(), 3), key);

    w->bbUpdate_Action();
    EXPECT_EQ(w->ListIndex(), 2);

    w->SetListIndex(-1);
    w->Timer1_Action();
    EXPECT_EQ(w->selectedID, -1);
    EXPECT_EQ(w->ListIndex(), -1);
    w->bbUpdate_Action();
    EXPECT_EQ(w->ListIndex(), -1);
}

// A refresh waiting in its message box lets ticks run; they must not stack further refreshes.
TEST_F(Window1CycleTest, TickDuringARefreshsMessageDoesNotRefreshAgain) {
    FixtureDb db;
    Window1* w = Open(db, true, 1);
    app().dbFileName = QStringLiteral("/nonexistent/Database3");
    auto inner = app().seams.message;
    int nested = 0;
    app().seams.message = [&](const QString& text) {
        inner(text);
        if (nested++ < 3) w->Timer1_Action();   // the modal box's event loop runs the timer
    };
    w->Timer1_Action();
    EXPECT_EQ(seams.messages, QStringList{"The database couldn't be opened."});
    EXPECT_EQ(app().Counter, 0);
    EXPECT_TRUE(w->ProgressWheel1->isHidden());
}

TEST_F(Window1CycleTest, MainWindowClosedDuringAYieldIsLeftAlone) {
    // Close at the first, second or third yield of a tick that refreshes, and of "Update Now".
    for (int closeAt = 1; closeAt <= 3; ++closeAt) {
        for (bool update : {false, true}) {
            SCOPED_TRACE((update ? "Update Now, yield " : "tick, yield ") + std::to_string(closeAt));
            FixtureDb db;
            Window1* w = Open(db, true, 1);
            app().dock().Restore();
            int yields = 0;
            auto inner = app().seams.yield;
            app().seams.yield = [&] {
                if (++yields == closeAt) CloseMainWindow();
                inner();
            };
            if (update)
                w->bbUpdate_Action();
            else
                w->Timer1_Action();
            app().seams.yield = inner;
            EXPECT_EQ(Window1::instance(false), nullptr);
            // "Update Now" draws its badge before its last yield; otherwise a window gone draws none.
            const bool badgeBeforeClose = update && closeAt == 3;
            EXPECT_EQ(app().dock().CurrentPicture().isNull(), !badgeBeforeClose);
        }
    }
}

TEST_F(Window1CycleTest, PreferencesOpensThenCloses) {
    FixtureDb db;
    Window1* w = Open(db, false, 10);
    w->bbPrefs->click();
    ASSERT_NE(winPrefs::instance(false), nullptr);
    EXPECT_TRUE(winPrefs::instance(false)->isVisible());
    EXPECT_TRUE(app().prefsVisible);
    w->bbPrefs->click();
    EXPECT_EQ(winPrefs::instance(false), nullptr);
    EXPECT_FALSE(app().prefsVisible);
    w->bbPrefs->click();
    EXPECT_NE(winPrefs::instance(false), nullptr) << "and opens again";
    w->bbPrefs->click();
}

TEST_F(Window1CycleTest, QuitEndsTheEventLoopWithCode0) {
    FixtureDb db;
    Window1* w = Open(db, false, 10);
    QTimer::singleShot(0, w->BevelButton1, &QPushButton::click);
    QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(7); });   // a safety net, never reached
    EXPECT_EQ(QCoreApplication::exec(), 0);
}
