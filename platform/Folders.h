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
};
