#include "tests/support/gui/FakeSeams.h"

#include <QCoreApplication>
#include <numeric>

#include "app/App.h"

FakeSeams::FakeSeams()
    : clock(QDate(2005, 6, 28), QTime(10, 15, 30)), previous_(app().seams) {
    Seams& s = app().seams;
    s.now = [this] { return clock; };
    s.wait = [this](int ms) {
        waits.push_back(ms);
        events << QStringLiteral("wait %1").arg(ms);
        clock = clock.addMSecs(ms);
        QCoreApplication::processEvents();
        if (onWait) onWait(ms);
    };
    s.yield = [this] {
        ++yields;
        events << QStringLiteral("yield");
        QCoreApplication::processEvents();
    };
    s.message = [this](const QString& text) {
        messages << text;
        events << QStringLiteral("message ") + text;
    };
    s.beep = [this] {
        ++beeps;
        events << QStringLiteral("beep");
    };
    s.openUrl = [this](const QUrl& url) {
        openedUrls << url;
        events << QStringLiteral("open ") + url.toString();
    };
    s.chooseFile = [this](const QString& title, const QString& folder) {
        fileDialogTitles << title;
        fileDialogFolders << folder;
        events << QStringLiteral("choose ") + title;
        return fileChoice;
    };
}

FakeSeams::~FakeSeams() { app().seams = previous_; }

int FakeSeams::TotalWaitMs() const { return std::accumulate(waits.begin(), waits.end(), 0); }
