#pragma once
// The browser restart that follows a feed's reset, as the window's Reset makes it: "Quit", a pause for the browser
// to end, then "Start", through the same browser control as the window's.

#include <QString>
#include <functional>

class QCoreApplication;

/// Starts the restart in app's event loop; done is called once, from that loop, with whether both commands
/// succeeded and, if one did not, what went wrong.
void RestartBrowser(QCoreApplication& app, std::function<void(bool ok, const QString& error)> done);
