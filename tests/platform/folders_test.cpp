// Both systems' folder rules, tested here whatever the system; the program's own folders follow the rules of
// the system it runs on.
#include "platform/Folders.h"

#include <QDir>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include "tests/support/gui/GuiTest.h"

namespace {

using Rules = Folders::Rules;

struct Case {
    Rules rules;
    const char *dataHome, *cacheHome;             ///< XDG_DATA_HOME, XDG_CACHE_HOME; nullptr: unset
    const char *preferences, *library, *cache;    ///< a leading "~" stands for the home folder
};

const Case kCases[] = {
    // macOS: always in the Library folder, whatever the XDG variables say.
    {Rules::MacOS, "/srv/data", "/srv/cache", "~/Library/Preferences", "~/Library", "~/Library/Caches/BrindleX"},
    // XDG: an absolute value wins; an unset, empty or relative one means the default under the home folder.
    {Rules::Xdg, "/srv/data", "/srv/cache", "/srv/data/BrindleX/Preferences", "/srv/data/BrindleX",
     "/srv/cache/BrindleX"},
    {Rules::Xdg, "/srv/data/", "/", "/srv/data/BrindleX/Preferences", "/srv/data/BrindleX", "/BrindleX"},
    {Rules::Xdg, nullptr, nullptr, "~/.local/share/BrindleX/Preferences", "~/.local/share/BrindleX",
     "~/.cache/BrindleX"},
    {Rules::Xdg, "relative/dir", "relative", "~/.local/share/BrindleX/Preferences", "~/.local/share/BrindleX",
     "~/.cache/BrindleX"}};

// The case's preferences, library and cache folders, "~" standing for home.
QStringList Expected(const Case& c, const QString& home) {
    return QStringList({c.preferences, c.library, c.cache}).replaceInStrings(QRegularExpression("^~"), home);
}

}  // namespace

// The rules of each system from a given home folder; the program's own folders, from the real one, by the
// rules of the system it runs on, without creating anything.
TEST(Folders, EachSystemsRulesAndTheProgramsOwnFolders) {
    GuiEnvironment::ClearHome();
    for (const Case& c : kCases) {
        SCOPED_TRACE(testing::Message() << "case " << &c - kCases);
        const Folders::Paths paths = Folders::For(c.rules, QStringLiteral("/home/ann"), c.dataHome, c.cacheHome);
        EXPECT_EQ(QStringList({paths.preferences, paths.library, paths.cache}), Expected(c, "/home/ann"));
        if (c.rules != Folders::kThisSystem) continue;
        c.dataHome ? qputenv("XDG_DATA_HOME", c.dataHome) : qunsetenv("XDG_DATA_HOME");
        c.cacheHome ? qputenv("XDG_CACHE_HOME", c.cacheHome) : qunsetenv("XDG_CACHE_HOME");
        EXPECT_EQ(QStringList({Folders::PreferencesFolder(), Folders::LibraryFolder(), Folders::CacheFolder()}),
                  Expected(c, QDir::homePath()));
    }
    qunsetenv("XDG_DATA_HOME");   // as gui_tests' main leaves them
    qunsetenv("XDG_CACHE_HOME");
    EXPECT_FALSE(QDir(Folders::LibraryFolder()).exists());
    EXPECT_FALSE(QDir(Folders::CacheFolder()).exists());
}
