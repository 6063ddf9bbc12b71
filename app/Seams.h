#pragma once
// What a test cannot wait for or click: the clock, waits, modal boxes, the beep, opening URLs and file dialogs.
// The program installs the real ones (MakeRealSeams); tests replace single members.

#include <QDateTime>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

struct Seams {
    std::function<QDateTime()> now;                              ///< current local date and time
    std::function<void(int ms)> wait;                            ///< yield to the event loop for ms milliseconds
    std::function<void()> yield;                                 ///< process pending events once
    std::function<void(const QString& text)> message;           ///< modal message box
    std::function<void()> beep;
    std::function<void(const QUrl& url)> openUrl;                ///< the user's default handler
    std::function<std::optional<QString>(const QString& title, const QString& initialFolder)> chooseFile;
};

Seams MakeRealSeams();
