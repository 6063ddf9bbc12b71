// The browser-control script, one run at a time: commands wait their turn, a check finding the script
// busy is skipped, and a reply counts as running only when it reads "true".
#include "app/BrowserControl.h"

#include "tests/support/gui/GuiTest.h"

namespace {

class BrowserControlTest : public GuiTest {
protected:
    FakeScript script{"true"};
};

TEST_F(BrowserControlTest, CommandsRunInTurnAndAChecksAnswerComesAsASignal) {
    BrowserControl& browser = app().browser();
    QStringList heard;
    QObject listener;   // the connection goes with the test
    QObject::connect(&browser, &BrowserControl::checked, &listener, [&](bool running) { heard << (running ? "running" : "not"); });
    auto note = [&](const char* what) { return [&, what](const ScriptResult& r) { heard << what + (" " + r.output); }; };
    browser.Send("Quit", nullptr, note("quit"));
    browser.Check();   // busy: skipped
    browser.Send("Start", nullptr, note("start"));
    {
        QObject context;
        browser.Send("Check", &context, note("lost"));   // its asker is gone before the answer
    }
    ASSERT_TRUE(Settle());
    browser.Check();
    ASSERT_TRUE(Settle());
    EXPECT_EQ(script.Commands(), (QStringList{"Quit", "Start", "Check", "Check"}));
    EXPECT_EQ(heard, (QStringList{"quit true", "start true", "running"}));
}

TEST(BrowserControl, OnlyTrueReadsAsRunning) {
    for (const char* reply : {"true", "True", " true\n"}) EXPECT_TRUE(BrowserControl::ReplyIsTrue(reply)) << reply;
    for (const char* reply : {"false", "", "yes", "1", "truer", "not true"})
        EXPECT_FALSE(BrowserControl::ReplyIsTrue(reply)) << reply;
}

}  // namespace
