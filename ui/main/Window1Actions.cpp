// The five feed actions: mark read, mark unread, mark all read, reset one feed, reset everything.
#include <QPointer>
#include <filesystem>
#include <system_error>

#include "app/App.h"
#include "feeds/feed.h"
#include "ui/main/Window1.h"

namespace {

// The feed operations need a connection; before the first refresh there may be none at all.
SqlConnection& Db() {
    App& a = app();
    if (!a.db) a.db = std::make_unique<SqlConnection>();
    return *a.db;
}

feed SelectedFeed(const Window1& w, int row) {
    feed f;
    f.ID = w.Cell(row, 3).toStdString();
    return f;
}

// The database file and what SQLite keeps beside it. A hot journal left behind would be rolled
// into the new database the browser creates under the same name.
void DeleteDatabaseFiles(const std::filesystem::path& file) {
    std::error_code ec;
    std::filesystem::remove(file, ec);
    for (const char* suffix : {"-journal", "-wal", "-shm"}) {
        std::filesystem::path side = file;
        side += suffix;
        std::filesystem::remove(side, ec);
    }
}

}  // namespace

// Mark Read and Mark Unread: change the selected feed, re-read, select the same row again.
static void MarkSelected(Window1& w, void (feed::*mark)(SqlConnection&)) {
    const int row = w.ListIndex();
    if (row < 0) return;
    w.selectedID = row;
    (SelectedFeed(w, row).*mark)(Db());
    QPointer<Window1> self(&w);
    w.GetDBInfo(app().showall);
    if (!Window1::Alive(self)) return;
    w.SetListIndex(w.selectedID);
}

void Window1::bbMarkRead_Action() { MarkSelected(*this, &feed::MarkRead); }

void Window1::bbMarkUnread_Action() { MarkSelected(*this, &feed::MarkUnread); }

void Window1::bbMarkAllRead_Action() {
    feed().MarkAllRead(Db());
    GetDBInfo(app().showall);
}

void Window1::bbReset_Action() {
    const int row = ListIndex();
    if (row < 0) return;
    QPointer<Window1> self(this);
    const std::string error = SelectedFeed(*this, row).ForceReload(Db());
    if (!error.empty()) app().seams.message(QString::fromStdString(error));
    // The browser is restarted even if the window goes meanwhile: it was quit for this reset.
    app().RelaunchSafari();
    if (!Window1::Alive(self)) return;
    GetDBInfo(app().showall);
}

void Window1::bbResetAll_Action() {
    App& a = app();
    QPointer<Window1> self(this);
    // Only a file the connection really opened is deleted; an unopened connection names nothing sure.
    std::filesystem::path file;
    if (a.db && a.db->IsConnected()) file = a.db->DatabaseFile();

    a.RunScript(QStringLiteral("Quit"));
    a.seams.wait(2000);
    // Closed during the waits, the window is left alone, but the browser is not left quit.
    if (a.db) a.db->Close();
    if (!file.empty()) DeleteDatabaseFiles(file);
    a.seams.wait(1000);
    a.RunScript(QStringLiteral("Start"));
    a.seams.wait(3000);
    if (!Window1::Alive(self)) return;
    GetDBInfo(a.showall);
}
