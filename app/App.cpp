#include "app/App.h"

#include <QDir>
#include <QEvent>
#include <QFile>
#include <QStandardPaths>
#include <QWidget>
#include <cerrno>

#include "app/BrowserControl.h"
#include "app/FeedDatabase.h"
#include "app/Preferences.h"
#include "app/Sequence.h"
#include "app/WhileAlive.h"
#include "feeds/ArticleExport.h"
#include "feeds/FeedList.h"
#include "feeds/Opml.h"
#include "feeds/OutputFile.h"
#include "platform/DockTile.h"
#include "platform/SqlConnection.h"

namespace {
App* theApp = nullptr;

using Preferences::Utf8;

// The file reference is a path; "a fresh reference made from its own absolute path" is the same path made absolute.
std::filesystem::path Fresh(const std::filesystem::path& p) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(p, ec);
    return ec ? p : absolute;
}

bool Exists(const std::filesystem::path& p) {
    std::error_code ec;
    return !p.empty() && std::filesystem::exists(p, ec);
}

// Saving into a folder that is not there would fail silently and lose the preferences.
void MakeParentFolder(const std::filesystem::path& file) {
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
}

// Moves an unreadable preferences file aside under a name no earlier one has, and returns whether it moved.
// A link stays where it is: the file it points to moves, and the new file is written through the link.
bool KeepAside(const std::filesystem::path& file) {
    std::error_code ec;
    std::filesystem::path real = std::filesystem::canonical(file, ec);
    if (ec) return false;
    for (int n = 1; n < 1000; ++n) {
        std::filesystem::path aside = real;
        aside += n == 1 ? ".unreadable" : ".unreadable." + std::to_string(n);
        if (std::filesystem::exists(std::filesystem::symlink_status(aside, ec))) continue;
        std::filesystem::rename(real, aside, ec);
        return !ec;
    }
    return false;
}

// Where an export is suggested: the documents folder, or the home folder where there is none.
QString Suggested(const QString& fileName) {
    const QDir documents(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    return (documents.exists() ? documents : QDir::home()).filePath(fileName);
}

// A title as a file name on any system: control characters and those some file system keeps for itself become
// "-", no leading dot hides it, and it stays well within the 255 bytes a name may have.
QString FileNameFor(const QString& title) {
    QString name;
    const QString reserved = QStringLiteral("/\\:*?\"<>|");
    for (const QChar c : title)
        name += c.unicode() < 0x20 || c.unicode() == 0x7f || reserved.contains(c) ? QChar('-') : c;
    name = name.trimmed();
    while (name.startsWith('.') || name.startsWith(' ')) name.remove(0, 1);
    while (name.toUtf8().size() > 200) name.chop(name.size() > 1 && name.back().isLowSurrogate() ? 2 : 1);
    while (name.endsWith('.') || name.endsWith(' ')) name.chop(1);
    return name.isEmpty() ? QStringLiteral("Articles") : name;
}

double SecondsSince2001(const QDateTime& time) {
    return static_cast<double>(time.toMSecsSinceEpoch()) / 1000.0 - 978307200.0;
}
}  // namespace

App& app() { return *theApp; }

App::App(int& argc, char** argv) : QApplication(argc, argv) {
    theApp = this;
    setApplicationName(QStringLiteral("BrindleX"));
    setApplicationDisplayName(QStringLiteral("BrindleX"));
    setDesktopFileName(QStringLiteral("brindlex"));
    seams = MakeRealSeams();
    db = std::make_unique<FeedDatabase>();
    browser_ = std::make_unique<BrowserControl>();
    dock_ = std::make_unique<DockTile>();   // it sets the window icon too
    connect(browser_.get(), &BrowserControl::checked, this, [this](bool running) {
        SafariRunning = running;
        emit browserStateChanged(running);
    });
    // Said once: the user answered macOS's prompt, and only the settings can change that answer now.
    connect(browser_.get(), &BrowserControl::refused, this, [this] {
        if (refusalShown_) return;
        refusalShown_ = true;
        seams.message(QStringLiteral(
            "BrindleX may not control Safari, so it cannot quit it. To allow it, open System Settings, "
            "Privacy & Security, Automation, and turn on Safari under BrindleX."));
    });
    connect(browser_.get(), &BrowserControl::becameIdle, this, [this] {
        if (!quitWhenIdle_ || browserQuitForAWhile_) return;
        quitWhenIdle_ = false;
        quit();
    });
#ifdef Q_OS_MACOS
    connect(this, &QGuiApplication::applicationStateChanged, this, &App::OnApplicationState);
#endif
    // Quitting interrupts the statement under way rather than waiting for it.
    connect(this, &QCoreApplication::aboutToQuit, this, [this] { db->Stop(); });
}

App::~App() {
    browser_->Cancel();
    prefs.reset();
    db.reset();
    dock_.reset();
    browser_.reset();
    theApp = nullptr;
}

BrowserControl& App::browser() { return *browser_; }
DockTile& App::dock() { return *dock_; }

void App::Open() {
    preferencesFile = Preferences::File();
    GetPrefs();
}

bool App::_FileManage_Action() {
    emit manageRequested();
    return false;
}

QString App::DefaultDatabasePath() const { return Preferences::DefaultDatabasePath(); }

bool App::GetPrefs() {
    const QString defaultPath = DefaultDatabasePath();

    if (!Exists(preferencesFile)) {
        preferencesFile = Fresh(preferencesFile);
        MakeParentFolder(preferencesFile);
        prefs = std::make_unique<plist>(preferencesFile);
        prefs->root->SetString("DatabaseFileName", Utf8(defaultPath));
        prefs->root->SetInteger("UpdateInterval", static_cast<double>(UpdateInterval));
        prefs->root->SetBoolean("AutoRefresh", AutoRefresh);
        prefs->Save();
    } else {
        prefs = std::make_unique<plist>(preferencesFile);
    }

    const PreferenceValues values = Preferences::Read(*prefs, defaultPath);
    dbFileName = values.dbFileName;
    UpdateInterval = values.UpdateInterval;
    AutoRefresh = values.AutoRefresh;

    CheckBrowser();
    return false;
}

bool App::SetPrefs() {
    if (!Exists(preferencesFile)) preferencesFile = Fresh(preferencesFile);
    MakeParentFolder(preferencesFile);
    prefs = std::make_unique<plist>(preferencesFile);
    // Written after the old lines, the values would never be read back: every later start would fall
    // back again. Keep the unreadable file beside the new one instead, and start a clean document.
    if (prefs->error && prefs->errorMessage == "Not a plist file" && KeepAside(preferencesFile))
        prefs = std::make_unique<plist>(preferencesFile);
    try {
        prefs->root->SetString("DatabaseFileName", Utf8(dbFileName));
    } catch (...) {
    }
    try {
        prefs->root->SetInteger("UpdateInterval", static_cast<double>(UpdateInterval));
    } catch (...) {
    }
    try {
        prefs->root->SetBoolean("AutoRefresh", AutoRefresh);
    } catch (...) {
    }
    // What reading left (a file not there yet, say) is no failure of the save: from here the error is Save's own.
    prefs->error = false;
    prefs->errorMessage.clear();
    prefs->Save();
    return false;
}

QString App::ApplyPreferences(const QString& dbFile, bool autoRefresh, std::int32_t interval) {
    dbFileName = dbFile;
    AutoRefresh = autoRefresh;
    UpdateInterval = interval;
    emit preferencesChanged();   // the main window switches its mode at once
    SetPrefs();
    if (!prefs->error) return {};
    // The store's words are general; what stands in the way is said where it can be told.
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(preferencesFile, ec);
    QString why = QString::fromStdString(prefs->errorMessage);
    if (ec.value() == ELOOP) why = QStringLiteral("its links go round in a loop");
    else if (std::filesystem::is_directory(status)) why = QStringLiteral("it is a folder");
    return QStringLiteral("The preferences could not be saved to %1: %2.")
        .arg(QString::fromStdString(preferencesFile.string()), why);
}

void App::CheckBrowser() {
    if (!quitWhenIdle_) browser_->Check();
}

bool App::RelaunchSafari(QObject* context, std::function<void()> then) {
    // The steps belong to the application, so the browser is started again even if the window goes.
    Sequence::On(this)
        ->Then([this](Sequence::Next next) { QuitBrowserForAWhile(this, std::move(next)); })
        ->Wait(2500)
        ->Then([this](Sequence::Next next) { StartBrowserAgain(this, std::move(next)); })
        ->Wait(2500)
        ->Do(WhileAlive<>(context, std::move(then)))
        ->Start();
    return false;
}

void App::QuitBrowserForAWhile(QObject* context, std::function<void()> then) {
    browserQuitForAWhile_ = true;
    browser_->Send(QStringLiteral("Quit"), context, [then](const ScriptResult&) {
        if (then) then();
    });
}

void App::StartBrowserAgain(QObject* context, std::function<void()> then) {
    if (!browserQuitForAWhile_) {
        if (then) then();
        return;
    }
    browserQuitForAWhile_ = false;
    browser_->Send(QStringLiteral("Start"), context, [then](const ScriptResult&) {
        if (then) then();
    });
}

std::shared_ptr<void> App::BeginExclusive() {
    if (exclusive_++ == 0) emit exclusiveChanged(true);
    return std::shared_ptr<void>(nullptr, [](void*) {
        if (!theApp) return;
        if (--theApp->exclusive_ == 0) emit theApp->exclusiveChanged(false);
    });
}

void App::RequestQuit() { quit(); }

void App::OnApplicationState(Qt::ApplicationState state) {
    if (state != Qt::ApplicationActive) return;
    for (QWidget* window : topLevelWidgets()) {
        const Qt::WindowType type = window->windowType();
        if (window->isVisible() && (type == Qt::Window || type == Qt::Dialog)) return;   // menus and tips aside
    }
    _FileManage_Action();
}

void App::ExportFeeds() {
    const bool allFeeds = showall;   // the feeds the list shows
    seams.chooseSaveFile(QStringLiteral("Export Feeds as OPML"), Suggested(QStringLiteral("Feeds.opml")), this,
                         [this, allFeeds](std::optional<QString> file) {
        if (!file) return;
        // Written on the worker, beside the connection: there the open database is known, and never the target.
        db->Run<QString>(
            this,
            [allFeeds, path = *file, created = seams.now()](SqlConnection& c) {
                const FeedListing read = ReadFeedList(c, allFeeds);
                if (!read.error.empty()) return QString::fromStdString(read.error);
                return Opml::WriteFile(path, Opml::Document(read.rows, created), c.DatabaseFile());
            },
            [this, path = *file](QString error) {
                if (!error.isEmpty())
                    seams.message(QStringLiteral("The feeds could not be exported to %1: %2").arg(path, error));
            });
    });
}

void App::ExportArticles(const QString& key, const QString& title) {
    const QString suggested = Suggested(FileNameFor(title) + QStringLiteral(".atom"));
    seams.chooseSaveFile(QStringLiteral("Export Articles"), suggested, this, [this, key](std::optional<QString> file) {
        if (!file) return;
        ArticleExport::Request request;
        request.key = key.toStdString();
        if (file->endsWith(QStringLiteral(".json"), Qt::CaseInsensitive))
            request.format = ArticleExport::Format::JsonFeed;
        // Read and written on the worker, row by row, into a temporary file renamed over the target at the end.
        db->Run<QString>(
            this,
            [request, key, path = *file, exported = SecondsSince2001(seams.now())](SqlConnection& c) {
                OutputFile out;
                const std::string refused = out.Open(QFile::encodeName(path).toStdString(), c.DatabaseFile());
                if (!refused.empty()) return QString::fromStdString(refused);
                const auto write = [&out](std::string_view bytes) { return out.Write(bytes); };
                const ArticleExport::Result result = ArticleExport::Write(c, request, exported, write);
                if (result.noSuchFeed) return QStringLiteral("the feed with the key %1 is no longer there").arg(key);
                if (!result.error.empty()) return QString::fromStdString(result.error);
                if (result.writeFailed) return QString::fromStdString(out.Error());
                return QString::fromStdString(out.Commit());
            },
            [this, path = *file](QString error) {
                if (!error.isEmpty())
                    seams.message(QStringLiteral("The articles could not be exported to %1: %2").arg(path, error));
            });
    });
}

bool App::event(QEvent* event) {
    if (event->type() == QEvent::Quit && (browserQuitForAWhile_ || browser_->CommandsPending())) {
        // A browser quit for a reset is started again before the program goes, and its script is let finish.
        quitWhenIdle_ = true;
        StartBrowserAgain(nullptr, {});
        event->ignore();
        return true;
    }
    return QApplication::event(event);
}
