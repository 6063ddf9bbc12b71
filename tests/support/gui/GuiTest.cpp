#include "tests/support/gui/GuiTest.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QMouseEvent>
#include <QScreen>
#include <QThreadPool>
#include <filesystem>
#include <tuple>

#include "app/BrowserControl.h"
#include "app/FeedDatabase.h"
#include "platform/Folders.h"

namespace GuiEnvironment {

QString Home() { return qEnvironmentVariable("HOME"); }

void ClearHome() {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(Home().toStdString(), ec))
        std::filesystem::remove_all(entry.path(), ec);
}

void ResetApp() {
    CloseMainWindow();
    App& a = app();
    a.db = std::make_unique<FeedDatabase>();
    a.browser().Cancel();
    // The values a new App holds, taken at the first reset (before any test): every test starts from them.
    static const auto start = std::make_tuple(a.showall, a.SafariRunning, a.prefsVisible, a.AutoRefresh, a.Counter, a.UpdateInterval);
    std::tie(a.showall, a.SafariRunning, a.prefsVisible, a.AutoRefresh, a.Counter, a.UpdateInterval) = start;
    a.dbFileName.clear();
    a.prefs.reset();
    a.preferencesFile = std::filesystem::path(Folders::PreferencesFolder().toStdString()) / "Brindle.plist";
    a.browser().Runner().SetScriptPath(QDir(Home()).filePath(QStringLiteral("no-such-browser-control")));
    a.browser().Runner().SetTimeout(3000);
    a.browser().SetSystem(BrowserControl::System::Linux);   // every command to the stand-in script, on any system
}

}  // namespace GuiEnvironment

bool WaitUntil(const std::function<bool()>& pred, int timeoutMs) {
    // What held when the loop stopped is the answer: asking again would let more events in first.
    bool held = pred();
    if (held) return true;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        // A widget closed by the test itself is deleted later, but the loop it was closed outside never comes.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if ((held = pred())) loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    poll.start(5);
    loop.exec();
    return held;
}

bool Settle(FakeSeams* seams, int timeoutMs) {
    // The thread pool decodes icons; waitForDone(0) only looks whether anything is queued or running there.
    auto quiet = [&] {
        return app().db->Idle() && app().browser().Idle() && (!seams || seams->Idle()) &&
               QThreadPool::globalInstance()->waitForDone(0);
    };
    // A result may be on its way when everything looks quiet: deliver it, and what was let go to be deleted (a
    // finished sequence holds the token that keeps the buttons disabled), then look again.
    return WaitUntil([&] {
        if (!quiet()) return false;
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return quiet();
    }, timeoutMs);
}

Window1* OpenMainWindow(const QString& databaseFile, bool autoRefresh, int updateInterval) {
    CloseMainWindow();
    SetPrefFields(databaseFile, updateInterval, autoRefresh);
    Window1* w = Window1::instance();
    // The tests tick by hand: timers left running would add checks and refreshes of their own.
    for (QTimer* timer : {w->Timer1, w->Timer2}) timer->stop();
    Settle(nullptr);
    return w;
}

void Mouse(QWidget* widget, QPointF at, bool pressed) {
    QMouseEvent event(pressed ? QEvent::MouseButtonPress : QEvent::MouseButtonRelease, at, widget->mapToGlobal(at),
                      Qt::LeftButton, pressed ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

void CloseMainWindow() {
    if (Window1* w = Window1::instance(false)) { w->close(); delete w; }
    // Closed, the last window asks the application to quit (there is no tray here to bring it back), and a
    // quit outside the main loop would end every event loop the next tests run.
    app().setQuitOnLastWindowClosed(false);
    QCoreApplication::removePostedEvents(&app(), QEvent::Quit);
    // A window a test closed itself is deleted later; do it now, so no test sees the last one's.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// One App on the offscreen platform, with HOME in a temporary folder that is removed at the end.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    char pattern[] = "/tmp/brindlex-gui-XXXXXX";
    if (!mkdtemp(pattern)) return 2;
    const std::string root = pattern, home = root + "/home";
    std::filesystem::create_directories(home);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_RUNTIME_DIR", root.c_str(), 1);   // mkdtemp made it owner-only, as Qt wants it
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // The XDG folders are their defaults under HOME; icon fetches never go through the machine's proxy.
    for (const char* v : {"XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_CONFIG_HOME", "http_proxy", "https_proxy",
                          "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
        unsetenv(v);
    int result = 0;
    {
        App application(argc, argv);
        application.setQuitOnLastWindowClosed(false);
        Window1::FollowApp(application);
        FakeSeams quiet;   // no test ever shows a real modal box or waits for real
        GuiEnvironment::ResetApp();
        result = RUN_ALL_TESTS();
        GuiEnvironment::ResetApp();
    }
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
    return result;
}

::testing::AssertionResult LooksAsKept(const QImage& picture, const QString& name) {
    const QString kept = QStringLiteral(BRINDLEX_SOURCE_DIR "/tests/ui/golden/%1.png").arg(name);
    const QImage drawn = picture.convertToFormat(QImage::Format_ARGB32);
    if (qEnvironmentVariableIsSet("BRINDLEX_KEEP_LOOKS")) {
        QDir().mkpath(QFileInfo(kept).absolutePath());
        return drawn.save(kept) ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << "cannot write " << kept.toStdString();
    }
    if (QImage(kept).convertToFormat(QImage::Format_ARGB32) == drawn) return ::testing::AssertionSuccess();
    const QString actual = QDir::current().absoluteFilePath(QStringLiteral("golden-actual/%1.png").arg(name));
    QDir().mkpath(QFileInfo(actual).absolutePath());
    drawn.save(actual);
    return ::testing::AssertionFailure() << name.toStdString() << " does not look as kept in " << kept.toStdString()
                                         << "; as drawn now: " << actual.toStdString();
}

QImage OnScreen(QWidget* widget) {
    QWidget* window = widget->window();
    QCoreApplication::processEvents();   // the paints that are due
    const QImage screen = window->screen()->grabWindow(window->winId()).toImage();
    return screen.copy(QRect(widget->mapTo(window, QPoint(0, 0)), widget->size()));
}
