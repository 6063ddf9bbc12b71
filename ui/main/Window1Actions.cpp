// The five feed actions and the browser button. Those with pauses in them run as timed sequences owned
// by the window: closing it drops their remaining steps, and a browser they quit is started again.
#include <QPushButton>

#include "app/App.h"
#include "app/BrowserControl.h"
#include "app/FeedDatabase.h"
#include "app/Sequence.h"
#include "feeds/SyndicationFile.h"
#include "feeds/feed.h"
#include "ui/main/FeedListModel.h"
#include "ui/main/Window1.h"

namespace {

using Next = Sequence::Next;

// Mark Read and Mark Unread: change the selected feed, re-read, select the same row again.
void MarkSelected(Window1& w, void (feed::*mark)(SqlConnection&)) {
    const int row = w.ListIndex();
    if (row < 0 || app().Exclusive()) return;
    w.selectedID = row;
    app().db->Run<bool>(&w, [id = w.Cell(row, FeedListModel::Key).toStdString(), mark](SqlConnection& db) {
        feed record;
        record.ID = id;
        (record.*mark)(db);
        return true;
    }, {});
    // The worker runs jobs in the order asked: the re-read sees the change.
    w.GetDBInfo(app().showall, [&w] { w.SetListIndex(w.selectedID); });
}

// Why Reset All deleted nothing, naming the file: none open, no feed database, or another file by now.
QString NothingDeleted(const SyndicationFile::Checked* checked, const SyndicationFile::Deletion* deletion = nullptr) {
    if (!checked)
        return QStringLiteral("No feed database is open (%1 could not be opened). Nothing was deleted.")
            .arg(app().dbFileName);
    const QString file = QString::fromStdString(checked->file.string());
    if (!deletion)
        return QStringLiteral("%1 is not a feed database: it has no Sources and Articles tables. Nothing was deleted.")
            .arg(file);
    if (deletion->outcome == SyndicationFile::Deletion::NotTheCheckedFile)
        return QStringLiteral("%1 is no longer the file that was checked: it was moved or replaced, or a link to it "
                              "re-pointed, meanwhile. Nothing was deleted.").arg(file);
    return QStringLiteral("%1 could not be deleted: %2. Nothing was deleted.")
        .arg(file, QString::fromStdString(deletion->error));
}

}  // namespace

void Window1::bbMarkRead_Action() { MarkSelected(*this, &feed::MarkRead); }

void Window1::bbMarkUnread_Action() { MarkSelected(*this, &feed::MarkUnread); }

void Window1::bbMarkAllRead_Action() {
    if (app().Exclusive()) return;
    app().db->Run<bool>(this, [](SqlConnection& db) {
        feed().MarkAllRead(db);
        return true;
    }, {});
    GetDBInfo(app().showall);
}

void Window1::bbReset_Action() {
    const int row = ListIndex();
    if (row < 0 || app().Exclusive()) return;
    App& a = app();
    auto exclusive = a.BeginExclusive();
    const std::string id = Cell(row, FeedListModel::Key).toStdString();
    Sequence* reset = Sequence::On(this);
    reset->Then([this, id](Next next) {
             app().db->Run<std::string>(this, [id](SqlConnection& db) {
                 feed record;
                 record.ID = id;
                 return record.ForceReload(db);
             }, [next](std::string error) {
                 if (!error.empty()) app().seams.message(QString::fromStdString(error));
                 next();
             });
         })
        // The restart belongs to the application: it finishes even if this window goes, and keeps the
        // buttons disabled until it has.
        ->Then([this, exclusive](Next next) { app().RelaunchSafari(this, [exclusive, next] { next(); }); })
        ->Then([this, exclusive](Next next) { GetDBInfo(app().showall, next); })
        ->Start();
}

void Window1::bbResetAll_Action() {
    if (app().Exclusive()) return;
    App& a = app();
    auto exclusive = a.BeginExclusive();
    // Whatever ends this sequence early (the window closing, say), a browser it quit is started again.
    auto restart = std::shared_ptr<void>(nullptr, [](void*) { app().StartBrowserAgain(nullptr, {}); });
    auto checked = std::make_shared<SyndicationFile::Checked>();
    Sequence* resetAll = Sequence::On(this);
    resetAll
        ->Then([this, resetAll, checked](Next next) {
            app().db->Run<std::optional<SyndicationFile::Checked>>(this, [](SqlConnection& db) {
                // The file behind the open connection, looked at as it is now.
                return db.IsConnected() ? std::optional(SyndicationFile::Check(db.DatabaseFile())) : std::nullopt;
            }, [resetAll, next, checked](std::optional<SyndicationFile::Checked> check) {
                if (check && check->feedTables) {
                    *checked = *check;
                    return next();
                }
                // Another program's database, chosen by mistake, is never deleted.
                app().seams.beep();
                app().seams.message(NothingDeleted(check ? &*check : nullptr));
                resetAll->End();
            });
        })
        ->Then([this, restart](Next next) { app().QuitBrowserForAWhile(this, next); })
        ->Wait(2000)
        ->Then([this, checked](Next next) {
            app().db->Run<SyndicationFile::Deletion>(this, [checked](SqlConnection& db) {
                db.Close();
                return SyndicationFile::Delete(*checked);
            }, [checked, next](SyndicationFile::Deletion deletion) {
                // Said, and the sequence goes on: the browser is started again and the list shows what is there.
                if (deletion.outcome != SyndicationFile::Deletion::Deleted) {
                    app().seams.beep();
                    app().seams.message(NothingDeleted(checked.get(), &deletion));
                }
                next();
            });
        })
        ->Wait(1000)
        ->Then([this, restart](Next next) { app().StartBrowserAgain(this, next); })
        ->Wait(3000)
        ->Then([this, exclusive](Next next) { GetDBInfo(app().showall, next); })
        ->Start();
}

void Window1::bbSafari_Action() {
    if (safariBusy_ || app().Exclusive()) return;
    safariBusy_ = true;
    FollowExclusive(app().Exclusive());
    // The choice rests on the last check, not a new one.
    const QString command = app().SafariRunning ? QStringLiteral("Quit") : QStringLiteral("Start");
    auto reply = std::make_shared<QString>();
    Sequence::On(this)
        ->Then([this, command](Next next) {
            app().browser().Send(command, this, [next](const ScriptResult&) { next(); });
        })
        ->Wait(1000)
        ->Then([this, reply](Next next) {
            app().browser().Send(QStringLiteral("Check"), this, [reply, next](const ScriptResult& r) {
                *reply = r.output;
                next();
            });
        })
        ->Wait(1000)
        ->Do([this, reply] {
            app().SafariRunning = BrowserControl::ReplyIsTrue(*reply);
            const QString caption = SafariCaption(app().SafariRunning);
            bbSafari->setText(caption);
            bbSafari->setToolTip(caption);
            safariBusy_ = false;
            FollowExclusive(app().Exclusive());
        })
        ->Start();
}
