#pragma once
// Seams for tests: nothing sleeps, nothing pops up, nothing leaves the machine. Installs itself into
// app().seams and puts the old ones back when it goes. A wait advances `clock` and processes pending
// events once, so queued clicks run nested inside the waiting handler, as they would for real.
#include <QCoreApplication>
#include <QStringList>
#include <QVector>

#include "app/App.h"

class FakeSeams {
public:
    FakeSeams() : previous_(app().seams) {
        Seams& s = app().seams;
        s.now = [this] { return clock; };
        s.wait = [this](int ms) {
            waits << ms;
            events << QStringLiteral("wait %1").arg(ms);
            clock = clock.addMSecs(ms);
            QCoreApplication::processEvents();
            if (onWait) onWait(ms);
        };
        s.yield = [this] { ++yields; events << "yield"; QCoreApplication::processEvents(); };
        s.message = [this](const QString& text) { messages << text; events << "message " + text; };
        s.beep = [this] { ++beeps; events << "beep"; };
        s.openUrl = [this](const QUrl& url) { openedUrls << url; events << "open " + url.toString(); };
        s.chooseFile = [this](const QString& title, const QString& folder) {
            fileDialogTitles << title;
            fileDialogFolders << folder;
            events << "choose " + title;
            return fileChoice;
        };
    }
    ~FakeSeams() { app().seams = previous_; }

    QDateTime clock{QDate(2005, 6, 28), QTime(10, 15, 30)};   ///< what seams.now() returns
    QVector<int> waits;                     ///< milliseconds of every wait, in order
    int yields = 0;
    QStringList messages;                   ///< texts of the message boxes, in order
    int beeps = 0;
    QList<QUrl> openedUrls;
    std::optional<QString> fileChoice;      ///< answer of the file chooser; nullopt is Cancel
    QStringList fileDialogTitles, fileDialogFolders;
    QStringList events;                     ///< every call in order: "wait 1000", "beep", "message <text>", ...
    std::function<void(int ms)> onWait;     ///< runs inside each wait, after pending events

private:
    Seams previous_;
};
