#include "platform/ScriptRunner.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <utility>

#ifdef Q_OS_UNIX
#include <signal.h>
#include <unistd.h>
#endif

ScriptRunner::ScriptRunner(QString scriptPath, int timeoutMs, QObject* parent)
    : QObject(parent), path_(std::move(scriptPath)), timeoutMs_(timeoutMs) {
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, [this] {
        KillGroup();   // the finished signal follows and reports the time-out
    });
}

ScriptRunner::~ScriptRunner() { Cancel(); }

bool ScriptRunner::Start(const QString& command, Done done, int timeoutMs) {
    if (process_) return false;
    const QFileInfo script(path_);
    if (path_.isEmpty() || !script.isFile()) {
        // Reported from the event loop like every other result, so callers see one order of events.
        QTimer::singleShot(0, this, [done = std::move(done)] {
            ScriptResult missing;
            missing.errorOutput = QStringLiteral("the browser-control script is missing");
            if (done) done(missing);
        });
        return true;
    }
    const QString suffix = script.suffix().toLower();
    if (suffix == QLatin1String("scpt") || suffix == QLatin1String("applescript"))
        return StartProgram(QStringLiteral("/usr/bin/osascript"), {path_, command}, std::move(done), timeoutMs);
    if (!script.isExecutable())
        return StartProgram(QStringLiteral("/bin/sh"), {path_, command}, std::move(done), timeoutMs);
    return StartProgram(path_, {command}, std::move(done), timeoutMs);
}

bool ScriptRunner::StartProgram(const QString& program, const QStringList& arguments, Done done, int timeoutMs) {
    if (process_) return false;
    done_ = std::move(done);
    process_ = new QProcess(this);
    process_->setProcessChannelMode(QProcess::SeparateChannels);
    process_->setStandardInputFile(QProcess::nullDevice());
#ifdef Q_OS_UNIX
    // Its own process group, so the time-out can end the script together with whatever it started.
    process_->setChildProcessModifier([] { ::setpgid(0, 0); });
#endif
    connect(process_, &QProcess::finished, this, [this](int exitCode, QProcess::ExitStatus status) {
        ScriptResult r;
        r.timedOut = !deadline_.isActive();
        r.finished = status == QProcess::NormalExit && !r.timedOut;
        r.exitCode = r.finished ? exitCode : -1;
        r.output = QString::fromUtf8(process_->readAllStandardOutput()).trimmed();
        r.errorOutput = QString::fromUtf8(process_->readAllStandardError()).trimmed();
        Finish(r);
    });
    connect(process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart) return;   // the others end in finished
        ScriptResult r;
        r.errorOutput = process_->errorString();
        Finish(r);
    });
    deadline_.start(timeoutMs >= 0 ? timeoutMs : timeoutMs_);
    process_->start(program, arguments);
    return true;
}

QProcess* ScriptRunner::Detach() {
    deadline_.stop();
    done_ = nullptr;
    QProcess* process = std::exchange(process_, nullptr);
    process->disconnect(this);
    return process;
}

void ScriptRunner::Finish(ScriptResult result) {
    Done done = std::move(done_);
    Detach()->deleteLater();
    if (done) done(result);
}

void ScriptRunner::KillGroup() {
    if (!process_) return;
#ifdef Q_OS_UNIX
    // The script leads its own group, whose id is the script's (0 once it has been reaped).
    if (const qint64 pid = process_->processId(); pid > 0) ::kill(-static_cast<pid_t>(pid), SIGKILL);
#endif
    process_->kill();
}

void ScriptRunner::Cancel() {
    if (!process_) return;
    KillGroup();
    QProcess* process = Detach();
    // Reaped when it has gone; nothing here waits for it.
    connect(process, &QProcess::finished, process, &QObject::deleteLater);
    if (process->state() == QProcess::NotRunning) process->deleteLater();
}

QString ScriptRunner::LocateScriptFrom(const QString& programDir, bool macos) {
    const QDir here(programDir);
    const QStringList candidates =
        macos ? QStringList{here.filePath(QStringLiteral("../Resources/browser-control.scpt")),
                            here.filePath(QStringLiteral("BrindleX.app/Contents/Resources/browser-control.scpt")),
                            here.filePath(QStringLiteral("browser-control"))}
              : QStringList{here.filePath(QStringLiteral("browser-control")),
                            here.filePath(QStringLiteral("../libexec/brindlex/browser-control"))};
    for (const QString& c : candidates)
        if (QFileInfo(c).isFile()) return QDir::cleanPath(c);
    return QDir::cleanPath(candidates.first());
}

QString ScriptRunner::LocateScript() {
#ifdef Q_OS_MACOS
    constexpr bool macos = true;
#else
    constexpr bool macos = false;
#endif
    return LocateScriptFrom(QCoreApplication::applicationDirPath(), macos);
}
