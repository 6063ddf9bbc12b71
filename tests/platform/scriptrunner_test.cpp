#include "platform/ScriptRunner.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "tests/support/gui/GuiTest.h"

namespace {

QString WriteScript(const QTemporaryDir& dir, const QString& name, const QByteArray& body, bool executable = true) {
    QFile f(dir.filePath(name));
    f.open(QIODevice::WriteOnly);
    f.write(body);
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | (executable ? QFile::ExeOwner : QFile::Permission()));
    return f.fileName();
}

TEST(ScriptRunner, PassesTheCommandAndGivesTheTrimmedOutputOrEmptyText) {
    QTemporaryDir dir;
    EXPECT_EQ(ScriptRunner(WriteScript(dir, "a", "#!/bin/sh\nprintf '  got %s\\n\\n' \"$1\"\n")).Run("Check"),
              "got Check");
    EXPECT_EQ(ScriptRunner(WriteScript(dir, "b", "echo true\n", false)).Run("Check"), "true");   // run through sh
    // A failing script still gives what it printed; a missing one gives nothing.
    EXPECT_EQ(ScriptRunner(WriteScript(dir, "c", "#!/bin/sh\necho false\necho oops >&2\nexit 3\n")).Run("Check"),
              "false");
    EXPECT_EQ(ScriptRunner("/nonexistent/browser-control").Run("Check"), "");
    EXPECT_EQ(ScriptRunner(QString()).Run("Check"), "");
    EXPECT_EQ(ScriptRunner::LocateScript(), QCoreApplication::applicationDirPath() + "/browser-control");
}

TEST(ScriptRunner, HangingScriptIsEndedAtTheTimeOutAndGivesEmptyText) {
    QTemporaryDir dir;
    const QString pidFile = dir.filePath("pid");
    const QString script =
        WriteScript(dir, "s", "#!/bin/sh\necho $$ > '" + pidFile.toUtf8() + "'\necho true\nexec sleep 60\n");
    EXPECT_EQ(ScriptRunner(script, 200).Run("Check"), "");
    const QByteArray pid = ReadFile(pidFile).trimmed();
    ASSERT_NE(pid, "(none)");
    EXPECT_FALSE(QDir("/proc/" + QString::fromLatin1(pid)).exists()) << "the hung script still runs";
}

// The real browser-control script, with $BROWSER naming a stand-in browser that runs until it is told to end.
TEST(ScriptRunner, BrowserControlChecksStartsAndQuitsTheBrowserNamedByBROWSER) {
    GuiEnvironment::ClearHome();   // no browser remembered from an earlier test
    QTemporaryDir dir;
    // Named apart from other test runs within the 15 bytes the kernel keeps of a process name.
    const QString name = QStringLiteral("bx%1-browser").arg(QCoreApplication::applicationPid());
    qputenv("BROWSER", WriteScript(dir, name, "#!/bin/sh\nwhile :; do sleep 0.05; done\n").toUtf8() + " %s");
    ScriptRunner runner(QString(BRINDLEX_SOURCE_DIR) + "/scripts/browser-control", 5000);
    EXPECT_EQ(runner.Run("Check"), "false");
    EXPECT_EQ(runner.Run("Reload"), "");   // unknown commands print nothing
    runner.Run("Start");
    EXPECT_TRUE(WaitUntil([&] { return runner.Run("Check") == "true"; }, 3000));
    runner.Run("Quit");
    EXPECT_TRUE(WaitUntil([&] { return runner.Run("Check") == "false"; }, 3000));
    qunsetenv("BROWSER");
}

}  // namespace
