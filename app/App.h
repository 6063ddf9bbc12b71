#pragma once
// The application object: the state both windows share, start-up, preferences, browser control.

#include <QApplication>
#include <QString>
#include <cstdint>
#include <filesystem>
#include <memory>

#include "app/Seams.h"
#include "platform/SqlConnection.h"
#include "plist/plist.h"

class ScriptRunner;
class DockTile;

class App : public QApplication {
    Q_OBJECT
public:
    App(int& argc, char** argv);
    ~App() override;

    // Shared state, read and written directly by the windows' handlers.
    std::unique_ptr<SqlConnection> db;
    bool showall = false;
    bool SafariRunning = false;
    std::int32_t Counter = 0;
    bool prefsVisible = false;
    QString dbFileName;
    std::int32_t UpdateInterval = 0;
    bool AutoRefresh = false;
    std::unique_ptr<plist> prefs;
    std::filesystem::path preferencesFile;

    void Open();                  ///< start-up handler, run once the event loop starts
    bool _FileManage_Action();    ///< "File" > "Manage"
    bool RelaunchSafari();        ///< "Quit", wait, "Start", wait
    bool GetPrefs();
    bool SetPrefs();

    /// Runs "Check"; sets SafariRunning and the caption of the main window's bbSafari.
    void CheckBrowser();
    /// Runs the browser-control script with one command word and returns its reply.
    QString RunScript(const QString& command);
    /// The text-to-boolean rule for the reply of "Check".
    static bool ReplyIsTrue(const QString& reply);

    /// Default database path: Syndication/Database3 in the parent of the preferences folder.
    QString DefaultDatabasePath() const;

    Seams seams;
    ScriptRunner& script();
    DockTile& dock();

private:
    std::unique_ptr<ScriptRunner> script_;
    std::unique_ptr<DockTile> dock_;
};

/// The one application object.
App& app();
