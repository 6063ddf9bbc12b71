#include "ui/main/UpdateCycle.h"

#include <QLabel>
#include <QLocale>
#include <QTimer>
#include <algorithm>

#include "app/App.h"
#include "platform/DockTile.h"
#include "ui/main/UnreadBadge.h"
#include "ui/main/Window1.h"

namespace {

const QString kReadyText = QStringLiteral("Ready.  Click Update to check.");

// An interval below one second would never be reached by a counter that starts at one.
std::int32_t EffectiveInterval() { return std::max<std::int32_t>(1, app().UpdateInterval); }

// The locale's long time without its time zone: hours, minutes and seconds only.
QString LongTimeFormat(const QLocale& locale) {
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (QChar c : format) {
        if (c == QLatin1Char('\'')) quoted = !quoted;
        if (!quoted && c == QLatin1Char('t')) continue;
        out += c;
    }
    return out.simplified();
}

}  // namespace

UpdateCycle::UpdateCycle(Window1& window) : QObject(&window), w_(window) {
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, &w_, &Window1::Timer1_Action);

    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(1000);
    connect(Timer2, &QTimer::timeout, &w_, &Window1::Timer2_Action);
}

void UpdateCycle::SetMode(bool automatic) {
    // A timer that runs already keeps its beat; only the one that should not run stops.
    if (automatic) {
        if (!Timer1->isActive()) Timer1->start(1000);
        Timer2->stop();
        w_.stCounter->setText(QStringLiteral("Next check in %1 seconds...").arg(app().UpdateInterval));
    } else {
        Timer1->stop();
        if (!Timer2->isActive()) Timer2->start(1000);
        w_.stCounter->setText(kReadyText);
        app().dock().Restore();   // no countdown, so no badge kept up to date
    }
}

void UpdateCycle::Tick() {
    App& a = app();
    UpdateTime();
    a.CheckBrowser();
    ++a.Counter;
    // Never counts below 0: an interval lowered under the counter refreshes on this very tick.
    const std::int32_t left = std::max<std::int32_t>(0, EffectiveInterval() - a.Counter);
    w_.stCounter->setText(QStringLiteral("Next check in %1 seconds").arg(left));
    // Reached or passed: a counter beyond the interval must refresh too, or it never would again. One
    // still on its way, or a reset under way, is waited for instead.
    if (a.Counter >= EffectiveInterval() && !Refreshing() && !a.Exclusive())
        Refresh([this] { DrawUnreadBadge(); });
    else
        DrawUnreadBadge();
}

void UpdateCycle::Watch() {
    UpdateTime();
    app().CheckBrowser();
}

void UpdateCycle::UpdateNow() {
    Refresh([this] {
        DrawUnreadBadge();
        w_.stCounter->setText(kReadyText);
    });
}

void UpdateCycle::Refresh(std::function<void()> then) {
    ++refreshing_;
    w_.ProgressWheel1->show();
    w_.selectedID = w_.ListIndex();
    w_.stCounter->setText(QStringLiteral("Updating..."));
    w_.GetDBInfo(app().showall, [this, then = std::move(then)] {
        --refreshing_;
        w_.SetListIndex(w_.selectedID);
        app().Counter = 0;
        if (!Refreshing()) w_.ProgressWheel1->hide();
        if (then) then();
    });
}

void UpdateCycle::DrawUnreadBadge() {
    UnreadBadge::Paint(w_.PercentageIcon, w_.NumUnread);
    app().dock().Draw(w_.PercentageIcon, w_.NumUnread);
}

void UpdateCycle::UpdateTime() {
    w_.CurrentTime = app().seams.now();
    const QLocale locale;
    w_.stTime->setText(locale.toString(w_.CurrentTime.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
                       locale.toString(w_.CurrentTime.time(), LongTimeFormat(locale)));
}
