#include "platform/Folders.h"

#include <QDir>

#ifdef Q_OS_MACOS
const Folders::Rules Folders::kThisSystem = Folders::Rules::MacOS;
#else
const Folders::Rules Folders::kThisSystem = Folders::Rules::Xdg;
#endif

namespace {
// The XDG rules: an empty or relative value means the default under the home folder.
QString XdgFolder(const QString& value, const QString& home, const QString& fallbackUnderHome) {
    if (!value.isEmpty() && QDir::isAbsolutePath(value)) return value;
    return home + QLatin1Char('/') + fallbackUnderHome;
}

Folders::Paths ThisSystem() {
    return Folders::For(Folders::kThisSystem, QDir::homePath(), qEnvironmentVariable("XDG_DATA_HOME"),
                        qEnvironmentVariable("XDG_CACHE_HOME"));
}
}  // namespace

Folders::Paths Folders::For(Rules rules, const QString& home, const QString& xdgDataHome,
                          const QString& xdgCacheHome) {
    Paths paths;
    if (rules == Rules::MacOS) {
        paths.library = QDir::cleanPath(home + QStringLiteral("/Library"));
        paths.preferences = paths.library + QStringLiteral("/Preferences");
        paths.cache = paths.library + QStringLiteral("/Caches/BrindleX");
    } else {
        const QString own = QStringLiteral("/BrindleX");
        paths.library = QDir::cleanPath(XdgFolder(xdgDataHome, home, QStringLiteral(".local/share")) + own);
        paths.preferences = paths.library + QStringLiteral("/Preferences");
        paths.cache = QDir::cleanPath(XdgFolder(xdgCacheHome, home, QStringLiteral(".cache")) + own);
    }
    return paths;
}

QString Folders::PreferencesFolder() { return ThisSystem().preferences; }
QString Folders::LibraryFolder() { return ThisSystem().library; }
QString Folders::CacheFolder() { return ThisSystem().cache; }
