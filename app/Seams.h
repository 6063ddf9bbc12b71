#pragma once
// What a test cannot wait for or click: the clock and timed steps, modal boxes, the beep, opening URLs and
// file dialogs. The program installs the real ones (MakeRealSeams); tests replace single members. None of
// them blocks: a dialog's answer and a timed step come back later, from the event loop.

#include <QDateTime>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

class QObject;

struct Seams {
    using Answer = std::function<void(std::optional<QString> file)>;

    std::function<QDateTime()> now;   ///< current local date and time
    /// Runs step after ms milliseconds, unless context has gone by then.
    std::function<void(int ms, QObject* context, std::function<void()> step)> after;
    std::function<void(const QString& text)> message;   ///< a modal message box; returns at once
    std::function<void()> beep;
    std::function<void(const QUrl& url)> openUrl;        ///< the user's default handler
    /// An open-file dialog: answer gets the chosen file, or nothing after Cancel (never once context has gone).
    std::function<void(const QString& title, const QString& initialFolder, QObject* context, Answer answer)> chooseFile;
    /// A save-file dialog starting at suggestedFile, the same way.
    std::function<void(const QString& title, const QString& suggestedFile, QObject* context, Answer answer)> chooseSaveFile;
};

Seams MakeRealSeams();
