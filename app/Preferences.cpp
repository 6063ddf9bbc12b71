#include "app/Preferences.h"

#include <QDir>

#include "platform/Folders.h"
#include "plist/plist.h"

namespace Preferences {

std::string Utf8(const QString& text) { return text.toUtf8().toStdString(); }
QString FromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<int>(text.size())); }

std::filesystem::path File() { return std::filesystem::path(Utf8(Folders::PreferencesFolder())) / "Brindle.plist"; }

QString DefaultDatabasePath() {
    return QDir(Folders::LibraryFolder()).absoluteFilePath(QStringLiteral("Syndication/Database3"));
}

PreferenceValues Read(const plist& document, const QString& defaultDatabase) {
    PreferenceValues v;
    plistDict& root = *document.root;
    // Each read is guarded on its own: one unreadable key must not cost the others.
    try {
        v.dbFileName = FromUtf8(root.GetString("DatabaseFileName"));
    } catch (...) {
        v.dbFileName = defaultDatabase;
    }
    if (v.dbFileName.isEmpty()) v.dbFileName = defaultDatabase;
    try {
        v.UpdateInterval = static_cast<std::int32_t>(root.GetInteger("UpdateInterval"));
    } catch (...) {
        v.UpdateInterval = 10;
    }
    try {
        v.AutoRefresh = root.GetBoolean("AutoRefresh");
    } catch (...) {
        v.AutoRefresh = true;
    }
    return v;
}

}  // namespace Preferences
