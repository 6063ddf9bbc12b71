#pragma once
// The application object: the state both windows share, start-up, preferences, browser control, and the
// database worker. It knows no window: it says what changed through signals, and the windows follow.

#include <QApplication>
#include <QString>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>

#include "app/Seams.h"
#include "plist/plist.h"

class BrowserControl;
class DockTile;
class FeedDatabase;

class App : public QApplication {
    Q_OBJECT
public:
    App(int& argc, char** argv);
    ~App() override;

    // Shared state, read and written directly by the windows' handlers.
    std::unique_ptr<FeedDatabase> db;   ///< every statement runs there, on the last refresh's connection
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
    bool _FileManage_Action();    ///< "File" > "Manage": asks for the main window (manageRequested)
    /// "Quit", wait, "Start", wait, then `then` (unless context has gone). The browser is started again
    /// even if the context goes meanwhile.
    bool RelaunchSafari(QObject* context = nullptr, std::function<void()> then = {});
    bool GetPrefs();
    bool SetPrefs();
    /// Save in the preferences window: takes the three values, tells the windows, writes the file. Returns what
    /// to tell the user when the file could not be written (naming it and why), else empty text.
    QString ApplyPreferences(const QString& dbFile, bool autoRefresh, std::int32_t interval);

    /// Asks the script whether the browser runs; SafariRunning and browserStateChanged follow the answer.
    void CheckBrowser();
    BrowserControl& browser();
    DockTile& dock();

    /// Quits the browser for a sequence that starts it again later; until then, closing the main window or
    /// quitting the program starts it again first.
    void QuitBrowserForAWhile(QObject* context, std::function<void()> then);
    /// Starts the browser again if a sequence quit it (otherwise does nothing); then follows.
    void StartBrowserAgain(QObject* context, std::function<void()> then);

    /// Marks a destructive sequence as under way until the last copy of the token goes; the feed actions
    /// and the browser button do nothing meanwhile (exclusiveChanged).
    std::shared_ptr<void> BeginExclusive();
    bool Exclusive() const { return exclusive_ > 0; }

    /// Quits, after starting the browser again if a sequence had quit it and letting its script finish.
    void RequestQuit();
    /// "Export Feeds as OPML…": the feeds the list shows, to a file the user chooses.
    void ExportFeeds();
    /// "Export Articles…": the articles of the feed with that key, to a file the user chooses (suggested:
    /// the title, made a file name, with ".atom"), read and written on the database worker; a name ending in
    /// ".json" gets JSON Feed. A failure is said with its reason; the file is then left as it was.
    void ExportArticles(const QString& key, const QString& title);
    /// Brings the main window back when the application is made active with no window showing (a click
    /// on its Dock icon).
    void OnApplicationState(Qt::ApplicationState state);

    /// Default database path: Syndication/Database3 in the parent of the preferences folder.
    QString DefaultDatabasePath() const;

    Seams seams;

signals:
    void browserStateChanged(bool running);
    void preferencesChanged();
    void manageRequested();
    void exclusiveChanged(bool exclusive);
    void preferencesRequested();

protected:
    bool event(QEvent* event) override;

private:
    std::unique_ptr<BrowserControl> browser_;
    std::unique_ptr<DockTile> dock_;
    bool browserQuitForAWhile_ = false;
    bool quitWhenIdle_ = false;
    bool refusalShown_ = false;   ///< the system's refusal to let the script control the browser was told
    int exclusive_ = 0;
};

/// The one application object.
App& app();
