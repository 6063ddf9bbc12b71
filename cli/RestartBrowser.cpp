#include "cli/RestartBrowser.h"

#include <QCoreApplication>
#include <QTimer>

#include "app/BrowserControl.h"

namespace {

QString Failure(const QString& command, const ScriptResult& r) {
    if (r.Succeeded()) return {};
    if (r.timedOut) return QStringLiteral("\"%1\" did not finish in time").arg(command);
    if (!r.finished) return QStringLiteral("\"%1\": %2").arg(command, r.errorOutput);
    return QStringLiteral("\"%1\" ended with status %2%3")
        .arg(command)
        .arg(r.exitCode)
        .arg(r.errorOutput.isEmpty() ? QString() : QStringLiteral(": ") + r.errorOutput);
}

}  // namespace

void RestartBrowser(QCoreApplication& app, std::function<void(bool ok, const QString& error)> done) {
    // Test seams, not for users: BRINDLEX_BROWSER_CONTROL names a stand-in script that logs the commands, and
    // BRINDLEX_RESTART_WAIT_MS shortens the pause, since tests never wait real seconds.
    bool set = false;
    int waitMs = qEnvironmentVariableIntValue("BRINDLEX_RESTART_WAIT_MS", &set);
    if (!set || waitMs < 0) waitMs = 2500;

    // The same control as the window's, with the same commands for each system.
    auto* browser = new BrowserControl(&app);
    const QString script = qEnvironmentVariable("BRINDLEX_BROWSER_CONTROL");
    if (!script.isEmpty()) {
        browser->Runner().SetScriptPath(script);
        browser->SetSystem(BrowserControl::System::Linux);   // the stand-in takes every command
    }
    browser->Send(QStringLiteral("Quit"), nullptr, [browser, waitMs, done](const ScriptResult& quit) {
        // Started whatever "Quit" gave, as the window does: the browser is not to be left quit.
        QTimer::singleShot(waitMs, browser, [browser, done, quitFailure = Failure(QStringLiteral("Quit"), quit)] {
            browser->Send(QStringLiteral("Start"), nullptr, [browser, done, quitFailure](const ScriptResult& start) {
                browser->deleteLater();
                const QString error = quitFailure.isEmpty() ? Failure(QStringLiteral("Start"), start) : quitFailure;
                done(error.isEmpty(), error);
            });
        });
    });
}
