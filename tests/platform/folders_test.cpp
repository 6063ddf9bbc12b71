// Both systems' folder rules, tested here whatever the system; the program's own folders follow the rules of
// the system it runs on.
#include "platform/Folders.h"

#include <QDir>
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
     "~/.cache/BrindleX"},
};

QString Expand(const char* path, const QString& home) {
    QString s = QString::fromUtf8(path);
    if (s.startsWith(QLatin1Char('~'))) s.replace(0, 1, home);
    return s;
}

}  // namespace

// The rules of each system from a given home folder; the program's own folders, from the real one, by the
// rules of the system it runs on, without creating anything.
TEST(Folders, EachSystemsRulesAndTheProgramsOwnFolders) {
    GuiEnvironment::ClearHome();
    for (const Case& c : kCases) {
        SCOPED_TRACE(testing::Message() << "case " << &c - kCases);
        const Folders::Paths paths = Folders::For(c.rules, QStringLiteral("/home/ann"), c.dataHome, c.cacheHome);
        EXPECT_EQ(QStringList({paths.preferences, paths.library, paths.cache}),
                  QStringList({Expand(c.preferences, "/home/ann"), Expand(c.library, "/home/ann"), Expand(c.cache, "/home/ann")}));
        if (c.rules != Folders::kThisSystem) continue;
        c.dataHome ? qputenv("XDG_DATA_HOME", c.dataHome) : qunsetenv("XDG_DATA_HOME");
        c.cacheHome ? qputenv("XDG_CACHE_HOME", c.cacheHome) : qunsetenv("XDG_CACHE_HOME");
        const QString home = QDir::homePath();
        EXPECT_EQ(QStringList({Folders::PreferencesFolder(), Folders::LibraryFolder(), Folders::CacheFolder()}),
                  QStringList({Expand(c.preferences, home), Expand(c.library, home), Expand(c.cache, home)}));
    }
    qunsetenv("XDG_DATA_HOME");   // as gui_tests' main leaves them
    qunsetenv("XDG_CACHE_HOME");
    EXPECT_FALSE(QDir(Folders::LibraryFolder()).exists());
    EXPECT_FALSE(QDir(Folders::CacheFolder()).exists());
}
