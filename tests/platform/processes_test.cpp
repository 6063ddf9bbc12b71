#include "platform/Processes.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(Processes, FindsARunningProcessByItsNameOnly) {
    QTemporaryDir dir;
    const QString name = QStringLiteral("bxSafari%1").arg(QCoreApplication::applicationPid() % 10000);
    ASSERT_TRUE(QFile::copy("/bin/sleep", dir.filePath(name)));
    QFile::setPermissions(dir.filePath(name), QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_FALSE(Processes::AnyNamed(name));
    QProcess standIn;
    standIn.start(dir.filePath(name), {"30"});
    ASSERT_TRUE(standIn.waitForStarted());
    EXPECT_TRUE(Processes::AnyNamed(name));
    EXPECT_FALSE(Processes::AnyNamed(name + "x"));
    standIn.kill();
    standIn.waitForFinished();
    EXPECT_FALSE(Processes::AnyNamed(name));
}
