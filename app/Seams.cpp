#include "app/Seams.h"

#include <QApplication>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>

Seams MakeRealSeams() {
    Seams s;
    s.now = [] { return QDateTime::currentDateTime(); };
    s.wait = [](int ms) {
        // A nested loop, so clicks and timer ticks keep running while a handler waits.
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    };
    s.yield = [] { QCoreApplication::processEvents(); };
    s.message = [](const QString& text) {
        QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), text, QMessageBox::Ok,
                        QApplication::activeWindow());
        box.setIconPixmap(QApplication::windowIcon().pixmap(64, 64));
        box.exec();
    };
    s.beep = [] { QApplication::beep(); };
    s.openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    s.chooseFile = [](const QString& title, const QString& initialFolder) -> std::optional<QString> {
        const QString chosen = QFileDialog::getOpenFileName(QApplication::activeWindow(), title, initialFolder);
        if (chosen.isEmpty()) return std::nullopt;
        return chosen;
    };
    return s;
}
