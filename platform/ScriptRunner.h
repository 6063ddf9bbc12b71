#pragma once
// Runs the browser-control script with one command word and returns what it printed.

#include <QString>

class ScriptRunner {
public:
    explicit ScriptRunner(QString scriptPath = LocateScript(), int timeoutMs = 3000);

    /// Runs the script with the command ("Check", "Start" or "Quit") and returns its standard output,
    /// trimmed. A script that is missing, fails to start or outlives the time-out gives empty text.
    QString Run(const QString& command);

    void SetScriptPath(const QString& path);
    void SetTimeout(int ms);

    /// Beside the executable (in the bundle's resources on macOS), else the installed copy.
    static QString LocateScript();

private:
    QString path_;
    int timeoutMs_;
};
