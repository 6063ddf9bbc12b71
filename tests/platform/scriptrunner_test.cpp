#include "platform/ScriptRunner.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "tests/support/gui/GuiTest.h"

namespace {

QString WriteScript(const QTemporaryDir& dir, const QString& name, const QByteArray& body, bool executable = true) {
    const QString path = dir.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(body);
    f.close();
    QFile::Permissions p = QFile::ReadOwner | QFile::WriteOwner;
    if (executable) p |= QFile::ExeOwner;
    QFile::setPermissions(path, p);
    return path;
}

TEST(ScriptRunner, PassesTheCommandAndReturnsTheTrimmedOutput) {
    QTemporaryDir dir;
    ScriptRunner runner(WriteScript(dir, "s", "#!/bin/sh\nprintf '  got %s\\n\\n' \"$1\"\n"));
    EXPECT_EQ(runner.Run("Check"), "got Check");
    EXPECT_EQ(runner.Run("Quit"), "got Quit");
}

TEST(ScriptRunner, RunsAScriptWithoutTheExecutableBitThroughSh) {
    QTemporaryDir dir;
    ScriptRunner runner(WriteScript(dir, "s", "echo true\n", false));
    EXPECT_EQ(runner.Run("Check"), "true");
}

TEST(ScriptRunner, MissingScriptGivesEmptyText) {
    ScriptRunner runner("/nonexistent/browser-control");
    EXPECT_EQ(runner.Run("Check"), "");
    ScriptRunner none{QString()};
    EXPECT_EQ(none.Run("Check"), "");
}

TEST(ScriptRunner, FailingScriptStillGivesWhatItPrinted) {
    QTemporaryDir dir;
    ScriptRunner runner(WriteScript(dir, "s", "#!/bin/sh\necho false\necho oops >&2\nexit 3\n"));
    EXPECT_EQ(runner.Run("Check"), "false");
}

TEST(ScriptRunner, HangingScriptIsEndedAtTheTimeOutAndGivesEmptyText) {
    QTemporaryDir dir;
    const QString pidFile = dir.filePath("pid");
    ScriptRunner runner(WriteScript(dir, "s", "#!/bin/sh\necho $$ > '" + pidFile.toUtf8() + "'\necho true\nexec sleep 60\n"),
                        200);
    EXPECT_EQ(runner.Run("Check"), "");
    QFile f(pidFile);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray pid = f.readAll().trimmed();
    EXPECT_FALSE(QDir("/proc/" + QString::fromLatin1(pid)).exists()) << "the hung script is still running";
}

TEST(ScriptRunner, LooksBesideTheProgramFirst) {
    EXPECT_EQ(ScriptRunner::LocateScript(), QCoreApplication::applicationDirPath() + "/browser-control");
}

// The real browser-control script, with $BROWSER naming a stand-in browser that runs until it is told to end.
class BrowserControlScript : public GuiTest {
protected:
    void SetUp() override {
        browser = WriteScript(dir, "brindlex-test-browser", "#!/bin/sh\nwhile :; do sleep 0.05; done\n");
        qputenv("BROWSER", browser.toUtf8() + " %s");
        runner.SetScriptPath(QString(BRINDLEX_SOURCE_DIR) + "/scripts/browser-control");
    }
    void TearDown() override {
        runner.Run("Quit");
        qunsetenv("BROWSER");
    }
    QTemporaryDir dir;
    QString browser;
    ScriptRunner runner{QString(), 5000};
};

TEST_F(BrowserControlScript, ChecksStartsAndQuitsTheBrowserNamedByBROWSER) {
    EXPECT_EQ(runner.Run("Check"), "false");
    runner.Run("Start");
    EXPECT_TRUE(WaitUntil([&] { return runner.Run("Check") == "true"; }, 3000));
    runner.Run("Quit");
    EXPECT_TRUE(WaitUntil([&] { return runner.Run("Check") == "false"; }, 3000));
}

TEST_F(BrowserControlScript, UnknownCommandPrintsNothing) { EXPECT_EQ(runner.Run("Reload"), ""); }

}  // namespace
