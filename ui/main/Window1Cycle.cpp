// The update cycle: the countdown tick, "Update Now", the unread badge, "Preferences" and "Quit".
#include <QCoreApplication>
#include <QLabel>
#include <QPointer>
#include <algorithm>

#include "app/App.h"
#include "platform/DockTile.h"
#include "ui/main/UnreadBadge.h"
#include "ui/main/Window1.h"
#include "ui/prefs/winPrefs.h"

namespace {

// An interval below one second would never be reached by a counter that starts at one.
std::int32_t EffectiveInterval() { return std::max<std::int32_t>(1, app().UpdateInterval); }

// Refreshes running now (nested ones included). A tick that comes while a refresh waits (for its
// yield, or for the message that the database cannot be opened) must not start another one: with
// the counter past the interval each tick would stack one more message box.
int refreshesRunning = 0;
struct RefreshScope {
    RefreshScope() { ++refreshesRunning; }
    ~RefreshScope() { --refreshesRunning; }
    RefreshScope(const RefreshScope&) = delete;
    RefreshScope& operator=(const RefreshScope&) = delete;
};

}  // namespace

void Window1::Timer1_Action() {
    App& a = app();
    QPointer<Window1> self(this);
    UpdateTime();
    a.CheckBrowser();
    if (!Window1::Alive(self)) return;

    ++a.Counter;
    // Never counts below 0: an interval lowered under the counter refreshes on this very tick.
    const std::int32_t left = std::max<std::int32_t>(0, EffectiveInterval() - a.Counter);
    stCounter->setText(QStringLiteral("Next check in %1 seconds").arg(left));
    a.seams.yield();
    if (!Window1::Alive(self)) return;

    // Reached or passed: a counter beyond the interval must refresh too, or it never would again.
    if (a.Counter >= EffectiveInterval() && refreshesRunning == 0) {
        Refresh();
        if (!Window1::Alive(self)) return;
    }
    a.seams.yield();
    if (!Window1::Alive(self)) return;
    DrawUnreadBadge();
}

void Window1::bbUpdate_Action() {
    App& a = app();
    QPointer<Window1> self(this);
    a.seams.yield();
    if (!Window1::Alive(self)) return;
    Refresh();
    if (!Window1::Alive(self)) return;
    DrawUnreadBadge();
    a.seams.yield();
    if (!Window1::Alive(self)) return;
    stCounter->setText(QStringLiteral("Ready.  Click Update to check."));
}

void Window1::Refresh() {
    App& a = app();
    QPointer<Window1> self(this);
    RefreshScope running;
    ProgressWheel1->show();
    selectedID = ListIndex();
    stCounter->setText(QStringLiteral("Updating..."));
    a.seams.yield();   // draws the text and the wheel before the query holds the window
    if (!Window1::Alive(self)) return;
    GetDBInfo(a.showall);
    if (!Window1::Alive(self)) return;   // its message box runs other handlers too
    SetListIndex(selectedID);
    a.Counter = 0;
    ProgressWheel1->hide();
}

void Window1::DrawUnreadBadge() {
    UnreadBadge::Paint(PercentageIcon, NumUnread);
    app().dock().Draw(PercentageIcon, NumUnread);
}

void Window1::bbPrefs_Action() {
    App& a = app();
    if (!a.prefsVisible) {
        winPrefs::instance();   // builds, opens and shows it
        a.prefsVisible = true;
    } else {
        if (winPrefs* p = winPrefs::instance(false)) {
            p->hide();
            p->close();
        }
        a.prefsVisible = false;
    }
}

void Window1::BevelButton1_Action() { QCoreApplication::exit(0); }
