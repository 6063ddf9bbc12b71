#pragma once
// Seams for tests: nothing sleeps, nothing pops up, nothing leaves the machine. Installs itself into
// app().seams and puts the old ones back when it goes. A timed step advances `clock` and runs from the
// event loop at once; a dialog answers `fileChoice` from the event loop, as a real one would, later.
#include <QHash>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include "app/App.h"

class FakeSeams {
public:
    FakeSeams() : previous_(app().seams) {
        Seams& s = app().seams;
        s.now = [this] { return clock; };
        s.after = [this](int ms, QObject* context, std::function<void()> step) {
            events << QStringLiteral("wait %1").arg(ms);
            clock = clock.addMSecs(ms);
            if (onWait) onWait(ms);
            Later(context, std::move(step));
        };
        s.message = [this](const QString& text) { messages << text; events << "message " + text; };
        s.beep = [this] { events << "beep"; };
        s.openUrl = [this](const QUrl& url) { events << "open " + url.toString(); };
        auto dialog = [this](const QString& title, const QString& place, QObject* context, Seams::Answer answer) {
            fileDialogFolders << place;
            events << "choose " + title;
            Later(context, [answer, choice = fileChoice] { answer(choice); });
        };
        s.chooseFile = s.chooseSaveFile = dialog;
    }
    ~FakeSeams() { app().seams = previous_; }

    /// No timed step or dialog answer is waiting to run (those whose context has gone never will).
    bool Idle() {
        for (auto it = pending_.begin(); it != pending_.end();) it = it.value() ? std::next(it) : pending_.erase(it);
        return pending_.isEmpty();
    }

    QDateTime clock{QDate(2005, 6, 28), QTime(10, 15, 30)};   ///< what seams.now() returns
    QStringList messages;                   ///< texts of the message boxes, in order
    std::optional<QString> fileChoice;      ///< answer of the file dialogs; nullopt is Cancel
    QStringList fileDialogFolders;          ///< where each file dialog opened (its title: in events)
    QStringList events;                     ///< every call in order: "wait 1000", "beep", "message <text>", ...
    std::function<void(int ms)> onWait;     ///< runs as each timed step is set up, before it runs

private:
    /// Runs the step from the event loop, soon, unless its context has gone by then; pending until it has run.
    void Later(QObject* context, std::function<void()> step) {
        const int id = ++lastStep_;
        pending_.insert(id, QPointer<QObject>(context));
        QTimer::singleShot(0, context, [this, id, step = std::move(step)] { pending_.remove(id); step(); });
    }
    Seams previous_;
    QHash<int, QPointer<QObject>> pending_;   ///< timed steps and dialog answers not yet given, by number
    int lastStep_ = 0;
};
