// The browser button and the manual-mode watcher.
#include <QPushButton>

#include "app/App.h"
#include "ui/main/Window1.h"

void Window1::Timer2_Action() {
    UpdateTime();
    app().CheckBrowser();
}

void Window1::bbSafari_Action() {
    QPointer<Window1> self(this);
    // The choice rests on the last check, not a new one.
    app().RunScript(app().SafariRunning ? QStringLiteral("Quit") : QStringLiteral("Start"));
    app().seams.wait(1000);
    if (!Alive(self)) return;
    const QString reply = app().RunScript(QStringLiteral("Check"));
    app().seams.wait(1000);
    if (!Alive(self)) return;

    app().SafariRunning = App::ReplyIsTrue(reply);
    const QString caption = app().SafariRunning ? QStringLiteral("Stop Safari") : QStringLiteral("Start Safari");
    bbSafari->setText(caption);
    bbSafari->setToolTip(caption);
}
