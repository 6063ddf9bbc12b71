#include "platform/Folders.h"

#include <QDir>
#include <gtest/gtest.h>

#include "tests/support/gui/GuiTest.h"

namespace {

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name), had_(qEnvironmentVariableIsSet(name)),
                                                     old_(qgetenv(name)) {
        if (value) qputenv(name, value); else qunsetenv(name);
    }
    ~ScopedEnv() { if (had_) qputenv(name_, old_); else qunsetenv(name_); }
private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

struct XdgCase {
    const char* label;
    const char* value;          // nullptr: unset
    const char* expectedUnderHome;   // relative to HOME, or nullptr when the value itself is expected
};

void PrintTo(const XdgCase& c, std::ostream* os) { *os << c.label; }

class FoldersTest : public GuiTest, public ::testing::WithParamInterface<XdgCase> {};

TEST_P(FoldersTest, PreferencesAndCacheFollowTheXdgRules) {
    const XdgCase c = GetParam();
    ScopedEnv data("XDG_DATA_HOME", c.value);
    ScopedEnv cache("XDG_CACHE_HOME", c.value);
    const QString home = QDir::homePath();
    if (c.expectedUnderHome) {
        EXPECT_EQ(Folders::PreferencesFolder(), home + "/.local/share/BrindleX/Preferences") << c.label;
        EXPECT_EQ(Folders::CacheFolder(), home + "/.cache/BrindleX") << c.label;
    } else {
        EXPECT_EQ(Folders::PreferencesFolder(), QString(c.value) + "/BrindleX/Preferences") << c.label;
        EXPECT_EQ(Folders::CacheFolder(), QString(c.value) + "/BrindleX") << c.label;
    }
}

INSTANTIATE_TEST_SUITE_P(Xdg, FoldersTest,
                         ::testing::Values(XdgCase{"absolute", "/srv/somewhere", nullptr},
                                           XdgCase{"unset", nullptr, "default"},
                                           XdgCase{"empty", "", "default"},
                                           XdgCase{"relative is ignored", "relative/dir", "default"}));

TEST(Folders, LibraryIsTheParentOfThePreferencesFolder) {
    EXPECT_EQ(Folders::LibraryFolder() + "/Preferences", Folders::PreferencesFolder());
    EXPECT_TRUE(QDir::isAbsolutePath(Folders::LibraryFolder()));
}

TEST(Folders, AskingCreatesNothing) {
    GuiEnvironment::ClearHome();
    Folders::PreferencesFolder();
    Folders::CacheFolder();
    EXPECT_FALSE(QDir(Folders::LibraryFolder()).exists());
    EXPECT_FALSE(QDir(Folders::CacheFolder()).exists());
}

}  // namespace
