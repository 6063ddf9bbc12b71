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

TEST_F(Window1BrowserTest, TickChecksTheBrowserShowsTheClockAndChangesOnlyTheCaption) {
    const struct { const char* reply; bool running; } cases[] = {
        {"true", true}, {"false", false}, {"", false}, {"nonsense", false}, {"true\n", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        app().SafariRunning = !c.running;
        app().Counter = 4;
        script.SetReply(c.reply);
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

TEST_F(Window1BrowserTest, HangingScriptIsGivenUpAndCountsAsNotRunning) {
    app().SafariRunning = true;
    script.SetHang(true);
    app().script().SetTimeout(150);
    w->Timer2_Action();
    EXPECT_FALSE(app().SafariRunning);
    EXPECT_EQ(w->bbSafari->text(), "Start Safari");
    w->bbSafari->click();   // a press too ends, with the browser not running
    EXPECT_EQ(script.Commands(), (QStringList{"Check", "Start", "Check"}));
    EXPECT_EQ(w->bbSafari->text(), "Start Safari");
    EXPECT_FALSE(app().SafariRunning);
    script.SetHang(false);
    script.SetReply("true");
    w->Timer2_Action();
    EXPECT_TRUE(app().SafariRunning);
}

TEST_F(Window1BrowserTest, PressSendsTheCommandWaitsChecksWaitsAndShowsTheReply) {
    const struct { bool runningBefore; const char* checkReply; const char* command; const char* caption; } cases[] = {
        {false, "true", "Start", "Stop Safari"},  {false, "false", "Start", "Start Safari"},
        {true, "false", "Quit", "Start Safari"},  {true, "true", "Quit", "Stop Safari"},
        {false, "", "Start", "Start Safari"},     {false, "yes please", "Start", "Start Safari"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.command) + " / " + c.checkReply);
        app().SafariRunning = c.runningBefore;
        script.SetReply(c.checkReply);
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
