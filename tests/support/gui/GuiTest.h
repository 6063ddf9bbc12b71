#pragma once
// The frame every GUI test runs in. gui_tests' own main (GuiTestMain.cpp) makes the one App on the
// offscreen platform with HOME and the XDG folders in a fresh temporary folder, installs fake seams
// and points the browser-control script at a path that does not exist (reply empty = not running).
//
//   class MyTest : public GuiTest {};          // fresh home, App fields back to zero, FakeSeams `seams`
//   TEST_F(MyTest, Something) {
//       FixtureDb db;                          // tests/support/FixtureDb.h
//       Window1* w = OpenMainWindow(db);       // built and opened on that database, manual mode
//       ...
//       ASSERT_TRUE(WaitUntil([&] { return !w->Canvas2->Icon().isNull(); }));
//   }
// The destructor closes the main window, so a test may leave it open.

#include <QString>
#include <functional>
#include <gtest/gtest.h>

#include "tests/support/gui/FakeSeams.h"

class FixtureDb;
class Window1;

namespace GuiEnvironment {
QString Home();              ///< the temporary HOME of this test process
void ClearHome();            ///< empties it again (and restores the XDG folders inside it)
/// App fields back to their start values, main window deleted, preferences file at its default place.
void ResetApp();
}  // namespace GuiEnvironment

class GuiTest : public ::testing::Test {
protected:
    GuiTest();
    ~GuiTest() override;
    FakeSeams seams;
};

/// Spins the event loop until pred() holds or timeoutMs passes; true when pred() held.
bool WaitUntil(const std::function<bool()>& pred, int timeoutMs = 5000);

/// Builds and opens the main window on the database file, as start-up does after GetPrefs.
/// Its timers run as Open left them; stop them before spinning the event loop for long.
Window1* OpenMainWindow(const QString& databaseFile, bool autoRefresh = false, int updateInterval = 10);
Window1* OpenMainWindow(FixtureDb& db, bool autoRefresh = false, int updateInterval = 10);
/// Closes and deletes the main window, if there is one.
void CloseMainWindow();
