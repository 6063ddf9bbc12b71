// brindlexctl: the command-line companion of BrindleX. Reads the command line, runs the command, and only for a
// reset's browser restart enters the event loop.
#include <QCoreApplication>
#include <cstdio>

#include "cli/CtlCommandLine.h"
#include "cli/CtlCommands.h"
#include "cli/RestartBrowser.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("brindlexctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(BRINDLEX_VERSION));

    const CtlCommandLine line = ParseCommandLine(QCoreApplication::arguments());
    switch (line.outcome) {
    case CtlCommandLine::Outcome::Help:
    case CtlCommandLine::Outcome::Version:
        std::fputs(line.text.toUtf8().constData(), stdout);
        return 0;
    case CtlCommandLine::Outcome::UsageError:
        PrintError(line.text + QStringLiteral(" (see brindlexctl --help)"));
        return 2;
    case CtlCommandLine::Outcome::Run:
        break;
    }

    const CtlResult result = RunCommand(line.request);
    int status = result.status;
    if (result.restartBrowser) {
        RestartBrowser(app, [](bool ok, const QString& error) {
            if (!ok) PrintError(QStringLiteral("the feed was reset, but the browser was not restarted: ") + error);
            QCoreApplication::exit(ok ? 0 : 1);
        });
        status = QCoreApplication::exec();
    }
    // Output that could not be written (a full disk behind a redirection) is a failure too.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        PrintError(QStringLiteral("cannot write to standard output"));
        return 1;
    }
    return status;
}
