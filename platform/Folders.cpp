#include "platform/Folders.h"

#include <QDir>
#include <QFileInfo>

namespace {
// The XDG rules: an unset, empty or relative value means the default under HOME.
QString XdgFolder(const char* variable, const QString& fallbackUnderHome) {
    const QString value = qEnvironmentVariable(variable);
    if (!value.isEmpty() && QDir::isAbsolutePath(value)) return QDir::cleanPath(value);
    return QDir::cleanPath(QDir::homePath() + QLatin1Char('/') + fallbackUnderHome);
}
}  // namespace

QString Folders::PreferencesFolder() {
#ifdef Q_OS_MACOS
    return QDir::cleanPath(QDir::homePath() + QStringLiteral("/Library/Preferences"));
#else
    return XdgFolder("XDG_DATA_HOME", QStringLiteral(".local/share")) + QStringLiteral("/BrindleX/Preferences");
#endif
}

QString Folders::LibraryFolder() { return QFileInfo(PreferencesFolder()).absolutePath(); }

QString Folders::CacheFolder() {
#ifdef Q_OS_MACOS
    return QDir::cleanPath(QDir::homePath() + QStringLiteral("/Library/Caches/BrindleX"));
#else
    return XdgFolder("XDG_CACHE_HOME", QStringLiteral(".cache")) + QStringLiteral("/BrindleX");
#endif
}
