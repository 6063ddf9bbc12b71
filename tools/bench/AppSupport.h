#pragma once
// The window's side of the benchmarks and the stress program: the window answers from the event loop, so a
// tool lets the loop run until the database worker and the browser script have come back.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <functional>
#include <string>

#include "app/App.h"
#include "app/BrowserControl.h"
#include "app/FeedDatabase.h"

namespace bench {

/// The program's application object for a tool: closing a window never quits it, and the browser-control
/// script is one that does not exist in the tool's home, so no browser is touched unless the tool says so.
class ToolApp {
public:
    ToolApp(char* program, const std::string& home) : argv_{program, nullptr}, app_(argc_, argv_) {
        app_.setQuitOnLastWindowClosed(false);
        app_.browser().Runner().SetScriptPath(QString::fromStdString(home) + QStringLiteral("/no-browser-control"));
    }

private:
    int argc_ = 1;
    char* argv_[2];
    App app_;
};

/// Runs the event loop until done() holds; false when timeoutMs passed first.
inline bool RunUntil(const std::function<bool()>& done, int timeoutMs = 60000) {
    QElapsedTimer clock;
    clock.start();
    QTimer wake;   // the wait below returns at least this often, whatever else happens
    wake.start(1);
    while (!done()) {
        if (clock.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

/// Runs the event loop until the database worker and the browser script are idle and every result they
/// posted has been delivered (a delivered result may start more work: that is waited for too).
inline bool Settle(int timeoutMs = 60000) {
    auto quiet = [] { return app().db->Idle() && app().browser().Idle(); };
    return RunUntil([&] {
        if (!quiet()) return false;
        // The worker posts a result before it counts as idle: deliver it, then look again.
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return quiet();
    }, timeoutMs);
}

}  // namespace bench
