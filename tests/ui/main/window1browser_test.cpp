// The browser button and the manual-mode tick, against a fake browser-control script.
#include "tests/support/gui/GuiTest.h"

namespace {

class Window1BrowserTest : public GuiTest {
protected:
    Window1BrowserTest() : w(OpenMainWindow(db)) {
        w->Timer2->stop();
        script.ClearCommands();
    }
    FakeScript script{"false"};
    FixtureDb db;
    Window1* w;
};

// A hanging script is given up after the time-out and counts as not running.
TEST_F(Window1BrowserTest, TickChecksTheBrowserShowsTheClockAndChangesOnlyTheCaption) {
    const struct { const char* reply; bool running; bool hang = false; } cases[] = {
        {"true", true}, {"false", false}, {"true", false, true}, {"", false}, {"nonsense", false}, {"true\n", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.reply) + (c.hang ? " (hangs)" : ""));
        app().SafariRunning = !c.running;
        app().Counter = 4;
        script.SetReply(c.reply);
        script.SetHang(c.hang);
        app().script().SetTimeout(c.hang ? 150 : 3000);
        script.ClearCommands();
        seams.clock = seams.clock.addSecs(1);
        w->Timer2_Action();
        EXPECT_EQ(script.Commands(), QStringList{"Check"});
        EXPECT_EQ(app().SafariRunning, c.running);
        EXPECT_EQ(w->bbSafari->text(), c.running ? "Stop Safari" : "Start Safari");
        EXPECT_EQ(w->bbSafari->toolTip(), "Sart or stop Safari");
        EXPECT_EQ(w->CurrentTime, seams.clock);
        EXPECT_FALSE(w->stTime->text().isEmpty());
        EXPECT_EQ(app().Counter, 4);
    }
    EXPECT_TRUE(seams.waits.isEmpty());
    script.SetReply("true");   // and the timer's own ticks drive it
    w->Timer2->start(10);
    EXPECT_TRUE(WaitUntil([&] { return w->bbSafari->text() == "Stop Safari"; }));
    w->Timer2->stop();
}

TEST_F(Window1BrowserTest, PressSendsTheCommandWaitsChecksWaitsAndShowsTheReply) {
    const struct { bool before; const char *reply, *command, *caption; bool hang = false; } cases[] = {
        {false, "true", "Start", "Stop Safari"},  {false, "false", "Start", "Start Safari"},
        {true, "false", "Quit", "Start Safari"},  {true, "true", "Quit", "Stop Safari"},
        {false, "true", "Start", "Start Safari", true},
        {false, "", "Start", "Start Safari"},     {false, "yes please", "Start", "Start Safari"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.command) + " / " + c.reply + (c.hang ? " (hangs)" : ""));
        app().SafariRunning = c.before;
        script.SetReply(c.reply);
        script.SetHang(c.hang);
        app().script().SetTimeout(c.hang ? 150 : 3000);
        script.ClearCommands();
        seams.waits.clear();
        w->bbSafari->click();
        EXPECT_EQ(script.Commands(), (QStringList{c.command, "Check"}));
        EXPECT_EQ(seams.waits, (QVector<int>{1000, 1000}));
        EXPECT_EQ(w->bbSafari->text(), c.caption);
        EXPECT_EQ(w->bbSafari->toolTip(), c.caption);
        EXPECT_EQ(app().SafariRunning, QString(c.caption) == "Stop Safari");
    }
}

TEST_F(Window1BrowserTest, TheCheckIsMadeAfterTheFirstWaitAndItsReplyWinsOverATickDuringTheLast) {
    // The browser comes up only while the first wait runs; a tick during the last wait finds it gone.
    seams.onWait = [&](int) {
        script.SetReply(seams.waits.size() == 1 ? "true" : "false");
        if (seams.waits.size() == 2) {
            w->Timer2_Action();
            EXPECT_EQ(w->bbSafari->text(), "Start Safari");
        }
    };
    w->bbSafari->click();
    EXPECT_EQ(w->bbSafari->text(), "Stop Safari");
    EXPECT_TRUE(app().SafariRunning);
}

TEST_F(Window1BrowserTest, WindowClosedDuringTheWaitStopsThePress) {
    script.SetReply("true");
    seams.onWait = [&](int) { w->close(); };
    w->bbSafari->click();
    EXPECT_EQ(script.Commands(), QStringList{"Start"});
    EXPECT_EQ(seams.waits.size(), 1);
    EXPECT_FALSE(app().SafariRunning);
}

}  // namespace
