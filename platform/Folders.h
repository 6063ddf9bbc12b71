#pragma once
// Where the program keeps its files. macOS: ~/Library/Preferences, ~/Library, ~/Library/Caches/BrindleX.
// Elsewhere the Library folder is $XDG_DATA_HOME/BrindleX (default ~/.local/share/BrindleX) with the
// preferences in its Preferences folder, and the cache is $XDG_CACHE_HOME/BrindleX (default ~/.cache/BrindleX).
// Nothing here creates a folder; callers make the ones they write into.

#include <QString>

class Folders {
public:
    static QString PreferencesFolder();   ///< absolute, without a trailing slash
    static QString LibraryFolder();       ///< the preferences folder's parent
    static QString CacheFolder();         ///< for downloaded icons

    enum class Rules { MacOS, Xdg };
    static const Rules kThisSystem;       ///< the rules of the system the program is built for

    struct Paths {
        QString preferences, library, cache;
    };
    /// The three folders by one system's rules, from the home folder and the XDG variables' values (empty when
    /// unset). Compiled everywhere, so each system's rules are tested on any of them.
    static Paths For(Rules rules, const QString& home, const QString& xdgDataHome, const QString& xdgCacheHome);
};
