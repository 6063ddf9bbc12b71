// The five feed actions on a real fixture database, with a fake browser script and fake waits.
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <gtest/gtest.h>

#include "tests/support/gui/FakeScript.h"
#include "tests/support/gui/GuiTest.h"
#include "ui/main/Window1.h"

namespace fs = std::filesystem;

namespace {

class Window1ActionsTest : public GuiTest {
protected:
    Window1* Open(FixtureDb& fixture) {
        Window1* w = OpenMainWindow(fixture);
        w->Timer2->stop();   // its browser checks would add to the script's commands
        return w;
    }
    FixtureDb db;
    FakeScript script;
    /// "id:unread" of the articles, for comparing whole tables.
    static std::string Unread(FixtureDb& db, const std::string& where = "1") {
        return db.query("SELECT group_concat(id || ':' || unread, ' ') FROM (SELECT id, unread FROM Articles WHERE " +
                        where + " ORDER BY id)");
    }
    static void Touch(const fs::path& p) { QFile(QString::fromStdString(p.string())).open(QIODevice::WriteOnly); }
};

}  // namespace

TEST_F(Window1ActionsTest, MarkReadAndUnreadChangeTheSelectedFeedOnlyAndKeepRow2) {
    struct Case { void (Window1::*action)(); const char* before; const char* after; };
    for (const Case c : {Case{&Window1::bbMarkRead_Action, "1", "0"}, Case{&Window1::bbMarkUnread_Action, "0", "1"}}) {
        SCOPED_TRACE(c.after);
        FixtureDb db;
        ASSERT_TRUE(db.exec(std::string("UPDATE Articles SET unread=") + c.before));
        ASSERT_TRUE(db.exec(std::string("INSERT INTO Articles (id, source_id, title, unread) VALUES (4001, 3, 'a', ") +
                            c.before + "), (4002, 3, 'b', " + c.before + ")"));
        Window1* w = Open(db);
        w->SetListIndex(2);
        const std::string k = w->Cell(2, 3).toStdString();
        const std::string others = Unread(db, "source_id IS NOT " + k);
        (w->*c.action)();
        EXPECT_EQ(db.query("SELECT count(*) FROM Articles WHERE source_id=" + k + " AND unread<>" + c.after), "0");
        EXPECT_EQ(Unread(db, "source_id IS NOT " + k), others) << "other feeds must not change";
        EXPECT_EQ(w->ListIndex(), 2);
        EXPECT_EQ(w->Cell(2, 3).toStdString(), k);
        EXPECT_EQ(w->Cell(2, 2).toStdString(), db.query("SELECT sum(unread) FROM Articles WHERE source_id=" + k));
    }
}

TEST_F(Window1ActionsTest, WithoutASelectionMarkAndResetDoNothing) {
    Window1* w = Open(db);
    w->SetListIndex(-1);
    const QString shownUnread = w->stNumUnread->text();
    // Changed behind the program's back: a re-read would show it, so none must happen.
    ASSERT_TRUE(db.exec("INSERT INTO Articles (id, source_id, unread) VALUES (4100, 1, 1)"));
    const std::string changed = Unread(db) + db.query("SELECT group_concat(id) FROM Sources");
    for (QPushButton* b : {w->bbMarkRead, w->bbMarkUnread, w->bbReset}) {
        b->click();
        EXPECT_EQ(Unread(db) + db.query("SELECT group_concat(id) FROM Sources"), changed) << b->text().toStdString();
        EXPECT_EQ(w->stNumUnread->text(), shownUnread) << b->text().toStdString();
        EXPECT_EQ(w->ListIndex(), -1) << b->text().toStdString();
    }
    EXPECT_TRUE(script.Commands().isEmpty()) << "the browser is not touched";
}

TEST_F(Window1ActionsTest, MarkAllReadReadsEveryArticleAndSelectsRow0) {
    // Articles of the two unsubscribed feeds; the orphan article 2003 is in the fixture already.
    ASSERT_TRUE(db.exec("INSERT INTO Articles (id, source_id, title, unread) VALUES (4201, 4, 'x', 1), (4202, 6, 'y', 1)"));
    Window1* w = Open(db);
    w->SetListIndex(3);
    w->bbMarkAllRead->click();
    EXPECT_EQ(db.query("SELECT count(*) FROM Articles WHERE unread<>0"), "0");
    EXPECT_EQ(db.query("SELECT unread FROM Articles WHERE id=2003"), "0");
    EXPECT_EQ(w->ListIndex(), 0);
    EXPECT_EQ(w->stNumUnread->text(), QStringLiteral("0"));
}

TEST_F(Window1ActionsTest, ResetDeletesTheFeedAndRestartsTheBrowser) {
    Window1* w = Open(db);
    w->SetListIndex(1);
    const std::string k = w->Cell(1, 3).toStdString();
    ASSERT_NE(db.query("SELECT count(*) FROM Articles WHERE source_id=" + k), "0");
    QStringList seen;   // at each wait: its ms and the commands so far
    seams.onWait = [&](int ms) { seen << QString::number(ms) + " " + script.Commands().join(','); };
    w->bbReset->click();
    EXPECT_EQ(db.query("SELECT count(*) FROM Sources WHERE id=" + k), "0");
    EXPECT_EQ(db.query("SELECT count(*) FROM Articles WHERE source_id=" + k), "0");
    EXPECT_EQ(seen, (QStringList{"2500 Quit", "2500 Quit,Start"}));
    for (int r = 0; r < w->ListCount(); ++r) EXPECT_NE(w->Cell(r, 3).toStdString(), k) << "its row is gone after the re-read";
    EXPECT_EQ(w->ListIndex(), 0);
    EXPECT_TRUE(seams.messages.isEmpty());
}

TEST_F(Window1ActionsTest, ResetThatFailsShowsTheEnginesMessageKeepsTheFeedAndStillRestartsTheBrowser) {
    Window1* w = Open(db);
    w->SetListIndex(1);
    const std::string k = w->Cell(1, 3).toStdString(), articles = Unread(db);
    ASSERT_TRUE(db.exec("CREATE TRIGGER keep BEFORE DELETE ON Sources BEGIN SELECT RAISE(ABORT, 'feed kept'); END"));
    w->bbReset->click();
    ASSERT_EQ(seams.messages.size(), 1);
    EXPECT_TRUE(seams.messages[0].contains(QStringLiteral("feed kept"))) << seams.messages[0].toStdString();
    EXPECT_EQ(db.query("SELECT count(*) FROM Sources WHERE id=" + k), "1");
    EXPECT_EQ(Unread(db), articles) << "nothing half-deleted";
    EXPECT_EQ(script.Commands(), (QStringList{"Quit", "Start"}));
}

// Reset All: "Quit", 2000 ms, close, delete the file and its side files, 1000 ms, "Start", 3000 ms, re-read.
TEST_F(Window1ActionsTest, ResetAllQuitsDeletesStartsAndRereadsInThatOrder) {
    for (bool newFile : {false, true}) {   // whether the restarted browser has made its new file in time
        SCOPED_TRACE(newFile);
        FixtureDb db, fresh;   // each case on databases and a script of its own
        ASSERT_TRUE(fresh.exec("DELETE FROM Articles; DELETE FROM Sources WHERE id<>7"));
        FakeScript script;
        Window1* w = Open(db);
        const fs::path file = db.path();
        QStringList seen;   // at each wait: its ms, the commands so far, file, side files left, connection open
        seams.messages.clear();
        seams.onWait = [&](int ms) {
            int side = 0;
            for (const char* suffix : {"-journal", "-wal", "-shm"}) {
                if (ms == 2000) Touch(file.string() + suffix);   // the quitting browser leaves them behind
                side += fs::exists(file.string() + suffix);
            }
            seen << QStringLiteral("%1 %2 file=%3 side=%4 db=%5").arg(ms).arg(script.Commands().join(','))
                        .arg(int(fs::exists(file))).arg(side).arg(int(app().db && app().db->IsConnected()));
            if (ms == 3000 && newFile) fs::copy_file(fresh.path(), file);
        };
        w->bbResetAll->click();
        EXPECT_EQ(seen, (QStringList{"2000 Quit file=1 side=3 db=1", "1000 Quit file=0 side=0 db=0",
                                     "3000 Quit,Start file=0 side=0 db=0"}));
        EXPECT_EQ(seams.messages, newFile ? QStringList() : QStringList{"The database couldn't be opened."});
        EXPECT_EQ(fs::exists(file), newFile) << "connecting never creates the file";
        ASSERT_EQ(w->ListCount(), newFile ? 1 : 0);
        EXPECT_EQ(w->Cell(0, 3), newFile ? QStringLiteral("7") : QString());
        EXPECT_EQ(w->ListIndex(), newFile ? 0 : -1);
    }
}

TEST_F(Window1ActionsTest, ResetAllDeletesNothingWhenTheConnectionNeverOpened) {
    Window1* w = Open(db);
    const fs::path file = db.path(), journal = file.string() + "-journal";
    Touch(journal);
    app().db = std::make_unique<SqlConnection>(file);   // bound to the very file, but never connected
    w->bbResetAll->click();
    EXPECT_TRUE(fs::exists(file));
    EXPECT_TRUE(fs::exists(journal));
    EXPECT_EQ(script.Commands(), (QStringList{"Quit", "Start"}));
    EXPECT_GT(w->ListCount(), 0) << "the list is re-read all the same";
}

// A wait runs other handlers; one of them closes the main window. The action ends without touching it.
TEST_F(Window1ActionsTest, MainWindowClosedDuringAWaitIsLeftAlone) {
    struct Case { bool all; int closeAt; };
    for (const Case c : {Case{false, 2500}, Case{false, 5000}, Case{true, 2000}, Case{true, 3000}}) {
        SCOPED_TRACE((c.all ? "Reset All closed at " : "Reset closed at ") + std::to_string(c.closeAt));
        FixtureDb db;   // each case on a database and a script of its own
        FakeScript script;
        Window1* w = Open(db);
        w->SetListIndex(1);
        seams.messages.clear();
        int total = 0;
        seams.onWait = [&](int ms) {
            if ((total += ms) == c.closeAt) CloseMainWindow();   // closes and deletes it
        };
        c.all ? w->bbResetAll_Action() : w->bbReset_Action();
        EXPECT_EQ(Window1::instance(false), nullptr);
        EXPECT_EQ(script.Commands(), (QStringList{"Quit", "Start"})) << "the browser is not left quit";
        EXPECT_TRUE(seams.messages.isEmpty()) << "no re-read for a window that is gone";
    }
}
