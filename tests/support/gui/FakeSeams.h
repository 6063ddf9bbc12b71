#pragma once
// Seams for tests: nothing sleeps, nothing pops up, nothing leaves the machine.
//
//   FakeSeams seams;                  // installs itself into app().seams; the destructor puts the old ones back
//   w->bbSafari->click();             // a handler that waits 1000 ms returns at once
//   EXPECT_EQ(seams.waits, (QVector<int>{1000, 1000}));
//   seams.onWait = [&](int) { w->close(); };   // act inside a wait, as a nested handler would
//   seams.fileChoice = "/tmp/x.db";   // what the file chooser answers (nullopt = Cancel)
//
// A wait advances `clock` by its milliseconds and processes pending events once, so queued
// clicks and deferred calls run nested inside the waiting handler, as they would for real.

#include <QDateTime>
#include <QStringList>
#include <QUrl>
#include <QVector>
#include <functional>
#include <optional>

#include "app/Seams.h"

class FakeSeams {
public:
    FakeSeams();
    ~FakeSeams();
    FakeSeams(const FakeSeams&) = delete;
    FakeSeams& operator=(const FakeSeams&) = delete;

    QDateTime clock;                 ///< what seams.now() returns; starts at 2005-06-28 10:15:30 local time
    QVector<int> waits;              ///< milliseconds of every wait, in order
    int yields = 0;                  ///< number of seams.yield() calls
    QStringList messages;            ///< texts of the message boxes, in order
    int beeps = 0;
    QList<QUrl> openedUrls;
    std::optional<QString> fileChoice;    ///< answer of the file chooser; nullopt is Cancel
    QStringList fileDialogTitles;
    QStringList fileDialogFolders;
    /// Every call in order: "wait 1000", "yield", "beep", "message <text>", "open <url>", "choose <title>".
    QStringList events;
    /// Runs inside each wait after pending events were processed; gets the milliseconds.
    std::function<void(int ms)> onWait;

    int TotalWaitMs() const;

private:
    Seams previous_;
};
