// gui_tests' main: one App on the offscreen platform, in a temporary home that is removed at the end.
#include <QDir>
#include <QStandardPaths>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

#include "app/App.h"
#include "tests/support/gui/FakeSeams.h"
#include "tests/support/gui/GuiTest.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);

    char pattern[] = "/tmp/brindlex-gui-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (!made) return 2;
    const std::string home = made;
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home + "/.cache").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (home + "/.runtime").c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // Icon fetches go to 127.0.0.1 directly, never through a proxy of the machine running the tests.
    for (const char* v : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
        unsetenv(v);
    GuiEnvironment::ClearHome();

    int result = 0;
    {
        App application(argc, argv);
        application.setQuitOnLastWindowClosed(false);
        FakeSeams quiet;   // no test ever shows a real modal box or waits for real
        GuiEnvironment::ResetApp();
        result = RUN_ALL_TESTS();
        GuiEnvironment::ResetApp();
    }
    std::error_code ec;
    std::filesystem::remove_all(home, ec);
    return result;
}
