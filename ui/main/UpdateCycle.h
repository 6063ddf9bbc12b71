#pragma once
// The update cycle: the two one-second timers (countdown with refresh in automatic mode, browser watch
// in manual mode), the refresh itself, the clock and the unread badge.

#include <QObject>
#include <functional>

class QTimer;
class Window1;

class UpdateCycle : public QObject {
    Q_OBJECT
public:
    explicit UpdateCycle(Window1& window);

    QTimer* Timer1 = nullptr;   ///< automatic mode: clock, browser check, countdown, refresh, badge
    QTimer* Timer2 = nullptr;   ///< manual mode: clock and browser check

    /// Automatic mode (Timer1 runs) or manual mode (Timer2 runs), with the status line to match; manual
    /// mode also puts the plain application icon back. Used when the window opens and when preferences are saved.
    void SetMode(bool automatic);
    void Tick();        ///< one tick of Timer1
    void Watch();       ///< one tick of Timer2
    void UpdateNow();   ///< "Update Now"
    /// Wheel on, selection kept, "Updating...", the list re-read; when it is in: selection back, counter
    /// to 0, wheel off, then `then`.
    void Refresh(std::function<void()> then);
    bool Refreshing() const { return refreshing_ > 0; }
    void DrawUnreadBadge();
    void UpdateTime();

private:
    Window1& w_;
    int refreshing_ = 0;   ///< refreshes asked for by the cycle and not yet in
};
