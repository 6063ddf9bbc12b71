#include "platform/ScriptRunner.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>
#include <signal.h>

#include "tests/support/gui/GuiTest.h"

namespace {

QString WriteScript(const QTemporaryDir& dir, const QString& name, const QByteArray& body, bool executable = true) {
    QFile f(dir.filePath(name));
    f.open(QIODevice::WriteOnly);
    f.write(body);
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | (executable ? QFile::ExeOwner : QFile::Permission()));
    return f.fileName();
}

// Starts the command and lets the event loop run until the result arrives.
ScriptResult RunToEnd(ScriptRunner& runner, const QString& command) {
    std::optional<ScriptResult> result;
    EXPECT_TRUE(runner.Start(command, [&](const ScriptResult& r) { result = r; }));
    EXPECT_TRUE(WaitUntil([&] { return result.has_value(); }, 5000));
    return result.value_or(ScriptResult{});
}

// Whether the process whose PID the file holds runs. A zombie (ended, not yet reaped: in a container nobody may
// reap it) counts as gone.
bool Running(const QString& pidFile) {
    const QByteArray pid = ReadFile(pidFile).trimmed();
    if (pid.isEmpty() || pid == "(none)" || ::kill(pid.toInt(), 0) != 0) return false;
#ifdef Q_OS_LINUX
    const QByteArray stat = ReadFile("/proc/" + QString::fromLatin1(pid) + "/stat");
    return stat.mid(stat.lastIndexOf(')') + 2, 1) != "Z";
#else
    return true;
#endif
}

TEST(ScriptRunner, GivesStatusOutputAndErrorOutputWithoutBlocking) {
    QTemporaryDir dir;
    const struct { const char* label; QString path; bool finished; int exitCode; const char* out; const char* err; } cases[] = {
        {"executable", WriteScript(dir, "a", "#!/bin/sh\nprintf '  got %s\\n\\n' \"$1\"\n"), true, 0, "got Check", ""},
        {"run through sh", WriteScript(dir, "b", "echo true\n", false), true, 0, "true", ""},
        {"failing", WriteScript(dir, "c", "#!/bin/sh\necho false\necho oops >&2\nexit 3\n"), true, 3, "false", "oops"},
        {"killed", WriteScript(dir, "k", "#!/bin/sh\nkill -9 $$\n"), false, -1, "", ""},
        {"given no input", WriteScript(dir, "i", "#!/bin/sh\ncat\necho done\n"), true, 0, "done", ""},
        {"missing", "/nonexistent/browser-control", false, -1, "", "the browser-control script is missing"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ScriptRunner runner(c.path);
        const ScriptResult r = RunToEnd(runner, "Check");
        EXPECT_EQ(r.finished, c.finished);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_EQ(r.output, c.out);
        EXPECT_EQ(r.errorOutput, c.err);
        EXPECT_FALSE(runner.IsRunning());
    }
#ifndef Q_OS_MACOS   // a compiled AppleScript goes to osascript, which only macOS has
    ScriptRunner compiled(WriteScript(dir, "d.SCPT", "echo true\n"));
    EXPECT_FALSE(RunToEnd(compiled, "Check").finished);
#endif
}

// Both layouts on any system: the program in a bundle's Contents/MacOS, brindlexctl beside BrindleX.app in the
// build folder, the Linux build folder, and an installed prefix. Each layout holds only its own script.
TEST(ScriptRunner, FindsTheScriptWhereEachLayoutKeepsIt) {
    QTemporaryDir dir;
    const auto put = [&](const QString& path) {
        QDir().mkpath(QFileInfo(dir.filePath(path)).path());
        WriteScript(dir, path, "");
        return QDir::cleanPath(dir.filePath(path));
    };
    for (const char* program : {"bundle/BrindleX.app/Contents/MacOS/BrindleX", "bundle/brindlexctl", "usr/bin/BrindleX"})
        put(program);
    const QString bundled = put("bundle/BrindleX.app/Contents/Resources/browser-control.scpt");
    EXPECT_EQ(ScriptRunner::LocateScriptFrom(dir.filePath("bundle/BrindleX.app/Contents/MacOS"), true), bundled);
    EXPECT_EQ(ScriptRunner::LocateScriptFrom(dir.filePath("bundle"), true), bundled);
    EXPECT_EQ(ScriptRunner::LocateScriptFrom(dir.filePath("bundle"), false), dir.filePath("bundle/browser-control"));
    EXPECT_EQ(ScriptRunner::LocateScriptFrom(dir.filePath("elsewhere"), true),
              QDir::cleanPath(dir.filePath("Resources/browser-control.scpt")));   // missing: the first place

    const QString beside = put("build/browser-control"), installed = put("usr/libexec/brindlex/browser-control");
    EXPECT_EQ(ScriptRunner::LocateScriptFrom(dir.filePath("build"), false), beside);
    EXPECT_EQ(ScriptRunner::LocateScriptFrom(dir.filePath("usr/bin"), false), installed);
    EXPECT_EQ(ScriptRunner::LocateScript(),
              ScriptRunner::LocateScriptFrom(QCoreApplication::applicationDirPath(),
#ifdef Q_OS_MACOS
                                             true));
#else
                                             false));
#endif
}

TEST(ScriptRunner, OneRunAtATimeAndTheTimeOutEndsTheWholeProcessGroup) {
    QTemporaryDir dir;
    // The script starts a child of its own and then hangs: both must be gone after the time-out.
    const QString script = WriteScript(dir, "s", "#!/bin/sh\nsleep 60 & echo $! > '" + dir.filePath("child").toUtf8() +
                                                     "'\necho $$ > '" + dir.filePath("pid").toUtf8() + "'\nwait\n");
    ScriptRunner runner(script, 60000);
    std::optional<ScriptResult> result;
    ASSERT_TRUE(runner.Start("Check", [&](const ScriptResult& r) { result = r; }, 200));
    EXPECT_FALSE(runner.Start("Check", [](const ScriptResult&) { ADD_FAILURE() << "a second run started"; }));
    ASSERT_TRUE(WaitUntil([&] { return result.has_value(); }, 5000));
    EXPECT_TRUE(result->timedOut);
    EXPECT_FALSE(result->finished);
    const auto ended = [&] { return !Running(dir.filePath("pid")) && !Running(dir.filePath("child")); };
    EXPECT_TRUE(WaitUntil(ended, 2000)) << "the hung script or its child still runs";
    // Cancelled, the script and its child end as well, nothing is answered, and the process object goes.
    for (const char* file : {"pid", "child"}) QFile::remove(dir.filePath(file));
    result.reset();
    ASSERT_TRUE(runner.Start("Check", [&](const ScriptResult& r) { result = r; }));
    ASSERT_TRUE(WaitUntil([&] { return ReadFile(dir.filePath("pid")).endsWith('\n'); }));
    runner.Cancel();
    EXPECT_FALSE(runner.IsRunning());
    EXPECT_TRUE(WaitUntil([&] { return ended() && runner.findChildren<QProcess*>().isEmpty(); }, 2000));
    EXPECT_FALSE(result.has_value());
    ASSERT_TRUE(runner.Start("Check", [&](const ScriptResult& r) { result = r; }, 0));   // no time at all
    ASSERT_TRUE(WaitUntil([&] { return result.has_value(); }, 5000));
    EXPECT_TRUE(result->timedOut);
}

}  // namespace
