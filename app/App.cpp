#include "app/App.h"

#include <QDir>
#include <QEventLoop>
#include <QPushButton>

#include "platform/DockTile.h"
#include "app/Preferences.h"
#include "platform/Folders.h"
#include "platform/ScriptRunner.h"
#include "ui/main/Window1.h"

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
}  // namespace

App& app() { return *theApp; }

App::App(int& argc, char** argv) : QApplication(argc, argv) {
    theApp = this;
    setApplicationName(QStringLiteral("BrindleX"));
    setApplicationDisplayName(QStringLiteral("BrindleX"));
    setDesktopFileName(QStringLiteral("brindlex"));
    seams = MakeRealSeams();
    script_ = std::make_unique<ScriptRunner>();
    dock_ = std::make_unique<DockTile>();
    setWindowIcon(DockTile::ApplicationIcon());
}

App::~App() {
    // The windows reach app() while they go; close them while it still answers.
    delete Window1::instance(false);
    prefs.reset();
    db.reset();
    dock_.reset();
    script_.reset();
    theApp = nullptr;
}

ScriptRunner& App::script() { return *script_; }
DockTile& App::dock() { return *dock_; }

void App::Open() {
    db = std::make_unique<SqlConnection>();
    preferencesFile = Preferences::File();
    GetPrefs();
}

bool App::_FileManage_Action() {
    Window1* w = Window1::instance();
    w->showNormal();
    w->raise();
    w->activateWindow();
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
    if (prefs->error && prefs->errorMessage == "Not a plist file") {
        // Written after the old lines, the values would never be read back: every later start would fall
        // back again. Keep the unreadable file beside the new one instead, and start a clean document.
        std::error_code ec;
        std::filesystem::path aside = preferencesFile;
        aside += ".unreadable";
        std::filesystem::rename(preferencesFile, aside, ec);
        if (!ec) prefs = std::make_unique<plist>(preferencesFile);
    }
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
    prefs->Save();
    return false;
}

bool App::RelaunchSafari() {
    RunScript(QStringLiteral("Quit"));
    seams.wait(2500);
    RunScript(QStringLiteral("Start"));
    seams.wait(2500);
    return false;
}

void App::CheckBrowser() {
    SafariRunning = ReplyIsTrue(RunScript(QStringLiteral("Check")));
    if (Window1* w = Window1::instance(false))
        w->bbSafari->setText(SafariRunning ? QStringLiteral("Stop Safari") : QStringLiteral("Start Safari"));
}

QString App::RunScript(const QString& command) {
    QString reply;
    bool done = false;
    QEventLoop loop;
    const bool started = script().Start(command, [&](const ScriptResult& r) {
        reply = r.output;
        done = true;
        loop.quit();
    });
    if (started && !done) loop.exec();
    return reply;
}

bool App::ReplyIsTrue(const QString& reply) {
    return reply.trimmed().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}
