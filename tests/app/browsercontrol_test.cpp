// The browser-control script, one run at a time: commands wait their turn, a check finding the script
// busy is skipped, and a reply counts as running only when it reads "true".
#include "app/BrowserControl.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include "platform/Processes.h"

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
    browser.Check();
    browser.Send("Quit", nullptr, note("quit"));   // after the check
    browser.Check();   // busy: skipped
    browser.Send("Start", nullptr, note("start"));
    {
        QObject context;
        browser.Send("Check", &context, note("lost"));   // its asker is gone before the answer
    }
    ASSERT_TRUE(Settle());
    EXPECT_EQ(script.Commands(), (QStringList{"Check", "Quit", "Start", "Check"}));
    EXPECT_EQ(heard, (QStringList{"running", "quit true", "start true"}));
    // Cancelled: the run under way ends and the waiting ones are dropped, none of them answered.
    script.SetHang(true);
    browser.Send("Quit", nullptr, note("cancelled"));
    browser.Send("Start", nullptr, note("dropped"));
    browser.Cancel();
    EXPECT_TRUE(browser.Idle() && !browser.Runner().IsRunning());
    ASSERT_TRUE(Settle());
    EXPECT_EQ(heard.size(), 3);
}

TEST(BrowserControl, OnlyTrueReadsAsRunning) {
    for (const char* reply : {"true", "True", " true\n"}) EXPECT_TRUE(BrowserControl::ReplyIsTrue(reply)) << reply;
    for (const char* reply : {"false", "", "yes", "1", "truer", "not true"})
        EXPECT_FALSE(BrowserControl::ReplyIsTrue(reply)) << reply;
}

}  // namespace

// What each command does on each system: the script for everything on Linux; on macOS Launch Services for
// Start, the process list for Check, and the AppleScript, with a minute for the user's answer, for Quit.
TEST(BrowserControl, PlansEachCommandForItsSystem) {
    using Plan = BrowserControl::Plan;
    const struct { BrowserControl::System system; const char* command; Plan::Kind kind; const char* what; int ms; } cases[] = {
        {BrowserControl::System::Linux, "Start", Plan::Script, "", 3000},
        {BrowserControl::System::MacOS, "Start", Plan::Program, "/usr/bin/open -a Safari", 3000},
        {BrowserControl::System::MacOS, "Check", Plan::ProcessList, "Safari ", 3000},
        {BrowserControl::System::MacOS, "Quit", Plan::Script, "", 60000}};
    for (const auto& c : cases) {
        const Plan p = BrowserControl::PlanFor(c.command, c.system);
        EXPECT_EQ(QStringLiteral("%1 %2 %3").arg(p.kind).arg((p.program + ' ' + p.arguments.join(' ')).trimmed()).arg(p.timeoutMs),
                  QStringLiteral("%1 %2 %3").arg(c.kind).arg(QString(c.what).trimmed()).arg(c.ms)) << c.command;
    }
}

// On macOS a check looks for Safari's process, and answers from the event loop as a script would.
TEST_F(BrowserControlTest, OnMacOSACheckLooksForSafarisProcess) {
    if (Processes::AnyNamed("Safari")) GTEST_SKIP() << "Safari runs here";
    BrowserControl& browser = app().browser();
    browser.SetSystem(BrowserControl::System::MacOS);
    QStringList heard;
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::copy("/bin/sleep", dir.filePath("Safari")));
    QProcess safari;
    for (bool running : {false, true}) {
        if (running) safari.start(dir.filePath("Safari"), {"30"});
        ASSERT_EQ(safari.waitForStarted(), running);
        browser.Send("Check", nullptr, [&](const ScriptResult& r) { heard << QString("%1 %2 %3").arg(r.finished).arg(r.exitCode).arg(r.output); });
        EXPECT_FALSE(browser.Idle());
        ASSERT_TRUE(Settle());
    }
    safari.kill();
    safari.waitForFinished();
    EXPECT_EQ(heard, (QStringList{"1 0 false", "1 0 true"}));
    EXPECT_TRUE(script.Commands().isEmpty());
}

// Refused by the system (osascript's error -1743), the user is told once where to allow it.
TEST_F(BrowserControlTest, ARefusalIsToldOnceWhereToAllowIt) {
    WriteFile(script.Path(), "#!/bin/sh\n"
                             "echo 'execution error: Not authorized to send Apple events to Safari. (-1743)' >&2\nexit 1\n");
    for (int i = 0; i < 2; ++i) app().browser().Send("Quit", nullptr, {});
    ASSERT_TRUE(Settle());
    ASSERT_EQ(seams.messages.size(), 1);
    EXPECT_TRUE(seams.messages[0].contains("Privacy & Security, Automation")) << seams.messages[0].toStdString();
}
