#pragma once
// Runs a short helper process (the browser-control script, or a system command) without blocking:
// the result comes back through a callback when the process ends or its time-out ends it. A time-out
// ends the whole process group, so a script's own children go with it.

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>

class QProcess;

struct ScriptResult {
    bool finished = false;   ///< the process ran and exited on its own (whatever its status)
    bool timedOut = false;   ///< ended by the time-out
    int exitCode = -1;       ///< meaningful when finished
    QString output;          ///< standard output, trimmed
    QString errorOutput;     ///< standard error, trimmed

    bool Succeeded() const { return finished && exitCode == 0; }
};

class ScriptRunner : public QObject {
    Q_OBJECT
public:
    using Done = std::function<void(const ScriptResult&)>;

    explicit ScriptRunner(QString scriptPath = LocateScript(), int timeoutMs = 3000, QObject* parent = nullptr);
    ~ScriptRunner() override;

    /// Starts the script with one command word ("Check", "Start", "Quit"). A .scpt or .applescript file runs
    /// through osascript, a file that is not executable through /bin/sh. False when a run is already under
    /// way (nothing starts, done is not called); otherwise done is called exactly once, later, from the event
    /// loop, unless Cancel() comes first. A missing script gives a result that did not finish.
    bool Start(const QString& command, Done done, int timeoutMs = -1);
    /// The same for any program with its arguments.
    bool StartProgram(const QString& program, const QStringList& arguments, Done done, int timeoutMs = -1);
    bool IsRunning() const { return process_ != nullptr; }
    /// Ends a running process and its group without calling its done.
    void Cancel();

    void SetScriptPath(const QString& path) { path_ = path; }
    void SetTimeout(int ms) { timeoutMs_ = ms; }

    /// Beside the executable (in the bundle's resources on macOS), else the installed copy.
    static QString LocateScript();
    /// The script for a program in programDir: on macOS the compiled script in its own bundle's Resources,
    /// else in a BrindleX.app beside it (brindlexctl in the build folder), else a plain script beside it;
    /// elsewhere beside it, else in ../libexec/brindlex. The first of those that is a file, else the first
    /// (reported missing when run). Either layout can be asked for on any system, so both are tested anywhere.
    static QString LocateScriptFrom(const QString& programDir, bool macos);

private:
    /// Stops the time-out and lets go of the process, whose signals no longer reach this runner.
    QProcess* Detach();
    void Finish(ScriptResult result);
    void KillGroup();

    QString path_;
    int timeoutMs_;
    QProcess* process_ = nullptr;
    Done done_;
    QTimer deadline_;
};
