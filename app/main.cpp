// Start-up: the application object, the menu bar, the main window with its controls, then the
// application's Open handler (preferences, first browser check) and only then the window's own Open.
#include <QTimer>

#include "app/App.h"
#include "app/MenuBar1.h"
#include "platform/DockTile.h"
#include "platform/QuitSignals.h"
#include "ui/main/Window1.h"
#include "ui/prefs/winPrefs.h"

int main(int argc, char** argv) {
    App application(argc, argv);
#ifdef Q_OS_MACOS
    MenuBar1::Global();
#endif
    // Closing the main window quits unless something (the Dock, a tray icon) can bring it back.
    application.setQuitOnLastWindowClosed(!application.dock().CanBringWindowBack());
    QObject::connect(&application.dock(), &DockTile::manageRequested, &application,
                     [] { app()._FileManage_Action(); });
    QObject::connect(&application.dock(), &DockTile::quitRequested, &application, &App::RequestQuit);
    // Ended by the session at logout (SIGTERM) or by Ctrl-C, it quits as from its menu: a browser quit for a
    // reset is started again first.
    QuitSignals quitSignals;
    QObject::connect(&quitSignals, &QuitSignals::quitRequested, &application, &App::RequestQuit);
    Window1::FollowApp(application);

    Window1::Construct();
    QTimer::singleShot(0, &application, [] {
        app().Open();
        if (Window1* w = Window1::instance(false)) w->Open();
    });
    const int status = application.exec();
    // The windows reach app() while they go: close them while it still answers.
    delete winPrefs::instance(false);
    delete Window1::instance(false);
    return status;
}
