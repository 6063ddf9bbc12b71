// The browser button and the manual-mode tick, against a fake browser-control script.
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/App.h"
#include "platform/ScriptRunner.h"
#include "tests/support/FixtureDb.h"
#include "tests/support/gui/FakeScript.h"
#include "tests/support/gui/GuiTest.h"
#include "ui/main/Window1.h"

namespace {

class Window1BrowserTest : public GuiTest {
protected:
    Window1* Open() {
        Window1* w = OpenMainWindow(db);
        w->Timer2->stop();
        script.ClearCommands();
        return w;
    }
    FakeScript script{"false"};
    FixtureDb db;
};

struct TickCase {
    const char* reply;
    bool running;
};

void PrintTo(const TickCase& c, std::ostream* os) { *os << '"' << c.reply << '"'; }

class Timer2Tick : public Window1BrowserTest, public ::testing::WithParamInterface<TickCase> {};

TEST_P(Timer2Tick, ChecksTheBrowserAndShowsTheClock) {
    const TickCase c = GetParam();
    Window1* w = Open();
    app().SafariRunning = !c.running;
    app().Counter = 4;
    script.SetReply(c.reply);
    seams.clock = QDateTime(QDate(2005, 6, 28), QTime(9, 0, 1));
    w->Timer2_Action();
    EXPECT_EQ(script.Commands(), QStringList{"Check"});
    EXPECT_EQ(app().SafariRunning, c.running) << '"' << c.reply << '"';
    EXPECT_EQ(w->bbSafari->text(), c.running ? "Stop Safari" : "Start Safari");
    EXPECT_EQ(w->bbSafari->toolTip(), "Sart or stop Safari") << "a tick changes the caption only";
    EXPECT_EQ(w->CurrentTime, seams.clock);
    EXPECT_FALSE(w->stTime->text().isEmpty());
    EXPECT_EQ(app().Counter, 4);
    EXPECT_TRUE(seams.waits.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Replies, Timer2Tick,
                         ::testing::Values(TickCase{"true", true}, TickCase{"false", false}, TickCase{"", false},
                                           TickCase{"nonsense", false}, TickCase{"true\n", true}));

TEST_F(Window1BrowserTest, TimerTicksDriveTheCheckInManualMode) {
    Window1* w = Open();
    script.SetReply("true");
    w->Timer2->setInterval(10);
    w->Timer2->start();
    ASSERT_TRUE(WaitUntil([&] { return w->bbSafari->text() == "Stop Safari"; }));
    w->Timer2->stop();
}

TEST_F(Window1BrowserTest, HangingScriptIsGivenUpAndCountsAsNotRunning) {
    Window1* w = Open();
    app().SafariRunning = true;
    script.SetHang(true);
    app().script().SetTimeout(200);
    w->Timer2_Action();
    EXPECT_FALSE(app().SafariRunning);
    EXPECT_EQ(w->bbSafari->text(), "Start Safari");

    script.SetHang(false);
    script.SetReply("true");
    w->Timer2_Action();
    EXPECT_TRUE(app().SafariRunning);
}

struct PressCase {
    const char* label;
    bool runningBefore;
    const char* checkReply;
    const char* command;
    const char* caption;
};

void PrintTo(const PressCase& c, std::ostream* os) { *os << c.label; }

class SafariButton : public Window1BrowserTest, public ::testing::WithParamInterface<PressCase> {};

TEST_P(SafariButton, SendsTheCommandWaitsChecksWaitsAndShowsTheKeptReply) {
    const PressCase c = GetParam();
    Window1* w = Open();
    app().SafariRunning = c.runningBefore;
    script.SetReply(c.checkReply);
    w->bbSafari->click();
    EXPECT_EQ(script.Commands(), (QStringList{c.command, "Check"})) << c.label;
    EXPECT_EQ(seams.waits, (QVector<int>{1000, 1000})) << c.label;
    EXPECT_EQ(seams.events.filter("wait").size(), 2);
    EXPECT_EQ(w->bbSafari->text(), c.caption) << c.label;
    EXPECT_EQ(w->bbSafari->toolTip(), c.caption) << c.label;
    EXPECT_EQ(app().SafariRunning, QString(c.caption) == "Stop Safari") << c.label;
}

INSTANTIATE_TEST_SUITE_P(
    States, SafariButton,
    ::testing::Values(PressCase{"started", false, "true", "Start", "Stop Safari"},
                      PressCase{"did not start", false, "false", "Start", "Start Safari"},
                      PressCase{"quit", true, "false", "Quit", "Start Safari"},
                      PressCase{"still running after quit", true, "true", "Quit", "Stop Safari"},
                      PressCase{"empty reply", false, "", "Start", "Start Safari"},
                      PressCase{"nonsense reply", false, "yes please", "Start", "Start Safari"}),
    [](const auto& info) {
        std::string s = info.param.label;
        for (char& ch : s) if (ch == ' ') ch = '_';
        return s;
    });

TEST_F(Window1BrowserTest, TheCheckIsMadeOneSecondAfterTheCommand) {
    Window1* w = Open();
    script.SetReply("false");
    // The browser comes up only while the first wait runs.
    seams.onWait = [&](int) {
        if (seams.waits.size() == 1) script.SetReply("true");
    };
    w->bbSafari->click();
    EXPECT_EQ(w->bbSafari->text(), "Stop Safari");
}

TEST_F(Window1BrowserTest, AfterItsLastWaitThePressAppliesTheReplyItKeptOverANewerTick) {
    Window1* w = Open();
    script.SetReply("true");
    seams.onWait = [&](int) {
        if (seams.waits.size() == 2) {   // a tick during the last wait finds the browser gone
            script.SetReply("false");
            w->Timer2_Action();
            EXPECT_EQ(w->bbSafari->text(), "Start Safari");
        }
    };
    w->bbSafari->click();
    EXPECT_EQ(w->bbSafari->text(), "Stop Safari");
    EXPECT_TRUE(app().SafariRunning);
}

TEST_F(Window1BrowserTest, HangingScriptDuringAPressEndsItWithStartSafari) {
    Window1* w = Open();
    script.SetHang(true);
    app().script().SetTimeout(150);
    w->bbSafari->click();
    EXPECT_EQ(script.Commands(), (QStringList{"Start", "Check"}));
    EXPECT_EQ(w->bbSafari->text(), "Start Safari");
    EXPECT_FALSE(app().SafariRunning);
}

TEST_F(Window1BrowserTest, WindowClosedDuringTheWaitStopsThePress) {
    Window1* w = Open();
    script.SetReply("true");
    seams.onWait = [&](int) { w->close(); };
    w->bbSafari->click();
    EXPECT_EQ(script.Commands(), QStringList{"Start"});
    EXPECT_EQ(seams.waits.size(), 1);
    EXPECT_FALSE(app().SafariRunning);
}

}  // namespace
