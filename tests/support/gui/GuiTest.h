#pragma once
// The frame every GUI test runs in. gui_tests' own main (GuiTest.cpp) makes the one App on the offscreen
// platform in a temporary HOME. Each GuiTest starts with an empty HOME, the App fields at their start
// values, fake seams, and a browser-control script that does not exist; it closes the main window at the end.
// The window's work is asynchronous: Settle() lets the event loop run until every job, script and timed
// step has come back.
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

#include "tests/support/FixtureDb.h"
#include "tests/support/gui/FileBytes.h"
#include "tests/support/gui/FakeScript.h"
#include "tests/support/gui/FakeSeams.h"
#include "ui/main/FeedListModel.h"
#include "ui/main/Window1.h"

namespace GuiEnvironment {
QString Home();      ///< the temporary HOME of this test process
void ClearHome();    ///< empties it again
void ResetApp();     ///< App fields back to their start values, main window deleted, a new database worker
}  // namespace GuiEnvironment

/// Spins the event loop until pred() holds or timeoutMs passes; true when pred() held.
bool WaitUntil(const std::function<bool()>& pred, int timeoutMs = 5000);
/// Spins the event loop until the database worker, the browser script, the timed steps and the decoding of icons
/// are all done (an icon's download is not waited for).
/// (seams null: their timed steps are not waited for).
bool Settle(FakeSeams* seams, int timeoutMs = 5000);
/// The App's three preference fields, as GetPrefs leaves them.
inline void SetPrefFields(const QString& databaseFile, int updateInterval, bool autoRefresh) {
    app().dbFileName = databaseFile;
    app().UpdateInterval = updateInterval;
    app().AutoRefresh = autoRefresh;
}
/// Builds and opens the main window on the database file, as start-up does after GetPrefs, and settles.
/// Its timers are stopped: the tests tick by hand.
Window1* OpenMainWindow(const QString& databaseFile, bool autoRefresh = false, int updateInterval = 10);
inline Window1* OpenMainWindow(FixtureDb& db, bool autoRefresh = false, int updateInterval = 10) {
    return OpenMainWindow(QString::fromStdString(db.path()), autoRefresh, updateInterval);
}
void CloseMainWindow();   ///< closes and deletes the main window, if there is one
/// Whether the picture is, pixel for pixel, the one kept in tests/ui/golden/NAME.png: what the window looked like
/// when someone last looked at it and found it right. One that differs is written to golden-actual/NAME.png (in
/// the test's working folder) to look at; BRINDLEX_KEEP_LOOKS=1 keeps the pictures drawn now as the new ones.
::testing::AssertionResult LooksAsKept(const QImage& picture, const QString& name);
/// What the widget's window shows on the screen now (its backing store, as last painted), cut to the widget.
QImage OnScreen(QWidget* widget);

/// The left mouse button pressed, or let go, at a point of the widget.
void Mouse(QWidget* widget, QPointF at = QPointF(5, 5), bool pressed = true);


class GuiTest : public ::testing::Test {
protected:
    GuiTest() { GuiEnvironment::ClearHome(); GuiEnvironment::ResetApp(); }
    ~GuiTest() override { CloseMainWindow(); Settle(); }
    bool Settle(int timeoutMs = 5000) { return ::Settle(&seams, timeoutMs); }
    /// Selects the row of the feed with this key, and settles: the feed's record is read on the worker.
    void SelectFeed(Window1* w, const QString& key) {
        for (int r = 0; r < w->ListCount(); ++r) if (w->Cell(r, FeedListModel::Key) == key) w->SetListIndex(r);
        Settle();
    }
    FakeSeams seams;
};
