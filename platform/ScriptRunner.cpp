#include "platform/ScriptRunner.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

ScriptRunner::ScriptRunner(QString scriptPath, int timeoutMs) : path_(std::move(scriptPath)), timeoutMs_(timeoutMs) {}

QString ScriptRunner::Run(const QString& command) {
    const QFileInfo script(path_);
    if (path_.isEmpty() || !script.isFile()) return {};

    QString program = path_;
    QStringList arguments{command};
    if (script.suffix().compare(QLatin1String("scpt"), Qt::CaseInsensitive) == 0 ||
        script.suffix().compare(QLatin1String("applescript"), Qt::CaseInsensitive) == 0) {
        program = QStringLiteral("osascript");
        arguments.prepend(path_);
    } else if (!script.isExecutable()) {
        program = QStringLiteral("/bin/sh");
        arguments.prepend(path_);
    }

    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForStarted(timeoutMs_)) return {};
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs_)) {
        // A hung script must not freeze the window: give up, and read it as "not true".
        process.kill();
        process.waitForFinished(1000);
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

void ScriptRunner::SetScriptPath(const QString& path) { path_ = path; }
void ScriptRunner::SetTimeout(int ms) { timeoutMs_ = ms; }

QString ScriptRunner::LocateScript() {
    const QDir here(QCoreApplication::applicationDirPath());
#ifdef Q_OS_MACOS
    const QStringList candidates{here.filePath(QStringLiteral("../Resources/browser-control.scpt")),
                                 here.filePath(QStringLiteral("browser-control"))};
#else
    const QStringList candidates{here.filePath(QStringLiteral("browser-control")),
                                 here.filePath(QStringLiteral("../libexec/brindlex/browser-control"))};
#endif
    for (const QString& c : candidates)
        if (QFileInfo(c).isFile()) return QDir::cleanPath(c);
    return QDir::cleanPath(candidates.first());
}
