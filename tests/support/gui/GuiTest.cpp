#include "tests/support/gui/GuiTest.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QTimer>
#include <filesystem>

#include "app/App.h"
#include "platform/Folders.h"
#include "platform/ScriptRunner.h"
#include "tests/support/FixtureDb.h"
#include "ui/main/Window1.h"

namespace GuiEnvironment {

QString Home() { return qEnvironmentVariable("HOME"); }

void ClearHome() {
    QDir home(Home());
    for (const QString& entry : home.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
        std::error_code ec;
        std::filesystem::remove_all(home.filePath(entry).toStdString(), ec);
    }
    QDir().mkpath(qEnvironmentVariable("XDG_RUNTIME_DIR"));
    QFile::setPermissions(qEnvironmentVariable("XDG_RUNTIME_DIR"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void ResetApp() {
    CloseMainWindow();
    App& a = app();
    a.db = std::make_unique<SqlConnection>();
    a.showall = false;
    a.SafariRunning = false;
    a.Counter = 0;
    a.prefsVisible = false;
    a.dbFileName.clear();
    a.UpdateInterval = 0;
    a.AutoRefresh = false;
    a.prefs.reset();
    a.preferencesFile = std::filesystem::path(Folders::PreferencesFolder().toStdString()) / "Brindle.plist";
    a.script().SetScriptPath(QDir(Home()).filePath(QStringLiteral("no-such-browser-control")));
    a.script().SetTimeout(3000);
}

}  // namespace GuiEnvironment

GuiTest::GuiTest() {
    GuiEnvironment::ClearHome();
    GuiEnvironment::ResetApp();
}

GuiTest::~GuiTest() { CloseMainWindow(); }

bool WaitUntil(const std::function<bool()>& pred, int timeoutMs) {
    if (pred()) return true;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (pred()) loop.quit();
    });
    poll.start(5);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return pred();
}

Window1* OpenMainWindow(const QString& databaseFile, bool autoRefresh, int updateInterval) {
    CloseMainWindow();
    app().dbFileName = databaseFile;
    app().AutoRefresh = autoRefresh;
    app().UpdateInterval = updateInterval;
    return Window1::instance();
}

Window1* OpenMainWindow(FixtureDb& db, bool autoRefresh, int updateInterval) {
    return OpenMainWindow(QString::fromStdString(std::filesystem::path(db.path()).string()), autoRefresh,
                          updateInterval);
}

void CloseMainWindow() {
    if (Window1* w = Window1::instance(false)) {
        w->close();
        delete w;
    }
    // A window a test closed itself is deleted later; do it now, so no test sees the last one's.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
