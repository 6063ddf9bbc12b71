#include "platform/Folders.h"

#include <QDir>
#include <gtest/gtest.h>

#include "tests/support/gui/GuiTest.h"

namespace {

TEST(Folders, PreferencesAndCacheFollowTheXdgRulesAndAskingCreatesNothing) {
    GuiEnvironment::ClearHome();
    const QByteArray data = qgetenv("XDG_DATA_HOME"), cache = qgetenv("XDG_CACHE_HOME");
    const QString home = QDir::homePath();
    // An unset, empty or relative value means the default under HOME.
    for (const char* value : {"/srv/somewhere", static_cast<const char*>(nullptr), "", "relative/dir"}) {
        SCOPED_TRACE(value ? value : "unset");
        for (const char* name : {"XDG_DATA_HOME", "XDG_CACHE_HOME"})
            if (value) qputenv(name, value); else qunsetenv(name);
        const bool absolute = value && QDir::isAbsolutePath(value);
        EXPECT_EQ(Folders::PreferencesFolder(), (absolute ? QString(value) : home + "/.local/share") + "/BrindleX/Preferences");
        EXPECT_EQ(Folders::CacheFolder(), (absolute ? QString(value) : home + "/.cache") + "/BrindleX");
        EXPECT_EQ(Folders::LibraryFolder() + "/Preferences", Folders::PreferencesFolder());
    }
    qputenv("XDG_DATA_HOME", data);
    qputenv("XDG_CACHE_HOME", cache);
    EXPECT_FALSE(QDir(Folders::LibraryFolder()).exists());
    EXPECT_FALSE(QDir(Folders::CacheFolder()).exists());
}

}  // namespace
