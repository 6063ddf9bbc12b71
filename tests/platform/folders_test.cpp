#include "platform/Folders.h"

#include <QDir>
#include <gtest/gtest.h>

#include "tests/support/gui/GuiTest.h"

namespace {

TEST(Folders, PreferencesAndCacheFollowTheXdgRulesAndAskingCreatesNothing) {
    GuiEnvironment::ClearHome();
    const QString home = QDir::homePath();
    // An unset, empty or relative value means the default under HOME.
    for (const char* value : {"/srv/somewhere", static_cast<const char*>(nullptr), "", "relative/dir"}) {
        SCOPED_TRACE(value ? value : "unset");
        for (const char* name : {"XDG_DATA_HOME", "XDG_CACHE_HOME"})
            if (value) qputenv(name, value); else qunsetenv(name);
        const bool absolute = value && QDir::isAbsolutePath(value);
        const QString data = absolute ? QString(value) : home + "/.local/share";
        EXPECT_EQ(Folders::PreferencesFolder(), data + "/BrindleX/Preferences");
        EXPECT_EQ(Folders::CacheFolder(), (absolute ? QString(value) : home + "/.cache") + "/BrindleX");
        EXPECT_EQ(Folders::LibraryFolder() + "/Preferences", Folders::PreferencesFolder());
    }
    qunsetenv("XDG_DATA_HOME");   // as gui_tests' main leaves them
    qunsetenv("XDG_CACHE_HOME");
    EXPECT_FALSE(QDir(Folders::LibraryFolder()).exists());
    EXPECT_FALSE(QDir(Folders::CacheFolder()).exists());
}

}  // namespace
