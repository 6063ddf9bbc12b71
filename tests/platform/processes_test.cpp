#include "platform/Processes.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// The system keeps 15 bytes of a name: a longer one is found by them.
TEST(Processes, FindsARunningProcessByItsNameOnly) {
    QTemporaryDir dir;
    const QString name = QStringLiteral("bx%1SafariStandIn").arg(QCoreApplication::applicationPid() % 10000, 4, 10, QChar('0'));
    ASSERT_TRUE(QFile::copy("/bin/sleep", dir.filePath(name)));
    QFile::setPermissions(dir.filePath(name), QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_FALSE(Processes::AnyNamed(name));
    QProcess standIn;
    standIn.start(dir.filePath(name), {"30"});
    ASSERT_TRUE(standIn.waitForStarted());
    EXPECT_TRUE(Processes::AnyNamed(name));
    EXPECT_FALSE(Processes::AnyNamed("x" + name));
    standIn.kill();
    standIn.waitForFinished();
    EXPECT_FALSE(Processes::AnyNamed(name));
}
