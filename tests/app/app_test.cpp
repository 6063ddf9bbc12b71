#include "app/App.h"

#include <QAction>
#include <QFileDialog>
#include <QMessageBox>
#include <QMenu>
#include <QMenuBar>
#include <QFileInfo>
#include <QFile>

#include "app/FeedDatabase.h"
#include "app/MenuBar1.h"
#include "platform/DockTile.h"
#include "platform/Folders.h"
#include "tests/support/SqlTestHelpers.h"
#include "tests/support/gui/GuiTest.h"
#include "ui/main/FeedListModel.h"
#include "ui/prefs/winPrefs.h"

namespace {

QString PrefsPath() { return Folders::PreferencesFolder() + "/Brindle.plist"; }
QString DefaultDb() {
#ifdef Q_OS_MACOS
    return GuiEnvironment::Home() + "/Library/Syndication/Database3";
#else
    return GuiEnvironment::Home() + "/.local/share/BrindleX/Syndication/Database3";
#endif
}

QByteArray Key(const char* key, const QByteArray& value) {
    return "\t<key>" + QByteArray(key) + "</key>\n\t" + value + "\n";
}

QByteArray Plist(const QByteArray& entries) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n" + entries + "</dict>\n</plist>\n";
}

// The three preference values as one text: as given, as the App holds them, as the file holds them.
std::string Values(const QString& db, int interval, bool autoRefresh) {
    return QStringLiteral("%1 | %2 | %3").arg(db).arg(interval).arg(autoRefresh ? "true" : "false").toStdString();
}
std::string Fields() { return Values(app().dbFileName, app().UpdateInterval, app().AutoRefresh); }
std::string Saved() {
    plist saved(std::filesystem::path(PrefsPath().toStdString()));
    return Values(QString::fromStdString(saved.root->GetString("DatabaseFileName")),
                  saved.root->GetInteger("UpdateInterval"), saved.root->GetBoolean("AutoRefresh"));
}

class AppTest : public GuiTest {};

template <class T> QList<T*> Windows() {
    QList<T*> found;
    for (QWidget* w : QApplication::topLevelWidgets()) if (auto* t = qobject_cast<T*>(w)) found << t;
    return found;
}

// The seams the program installs: a timed step runs; a message box shows its text as it is, once while it shows;
// each file dialog is set up for its task and answers once, then goes.
TEST_F(AppTest, TheRealSeamsRunStepsShowBoxesAndAnswerFromTheirDialogsOnce) {
    const Seams real = MakeRealSeams();
    QObject context;
    QList<std::optional<QString>> answers;
    const auto answer = [&](std::optional<QString> file) { answers << file; };
    real.after(0, &context, [&] { answers << QString("step"); });
    EXPECT_TRUE(WaitUntil([&] { return !answers.isEmpty(); }));
    for (int shown = 0; shown < 2; ++shown) {   // the same text again once the first box has gone
        real.message("<b>2</b> feeds");
        real.message("<b>2</b> feeds");
        ASSERT_EQ(Windows<QMessageBox>().size(), 1);
        QPointer<QMessageBox> box = Windows<QMessageBox>()[0];
        EXPECT_TRUE(box->isVisible() && box->testAttribute(Qt::WA_DeleteOnClose));
        EXPECT_EQ(QStringList({box->windowTitle(), box->text()}), QStringList({"BrindleX", "<b>2</b> feeds"}));
        EXPECT_EQ(box->textFormat() + 10 * box->windowModality(), Qt::PlainText + 10 * Qt::ApplicationModal);
        EXPECT_EQ(box->iconPixmap().size(), QSize(64, 64));
        box->button(QMessageBox::Ok)->click();
        QCoreApplication::sendPostedEvents(box, QEvent::DeferredDelete);
        EXPECT_FALSE(box) << "closed and deleted";
    }
    const QString home = GuiEnvironment::Home();
    real.chooseFile("Database", home, &context, answer);
    real.chooseSaveFile("Export", home + "/Feeds.opml", &context, answer);
    const QList<QFileDialog*> dialogs = Windows<QFileDialog>();
    ASSERT_EQ(dialogs.size(), 2);
    QPointer<QFileDialog> open = dialogs[0]->windowTitle() == "Database" ? dialogs[0] : dialogs[1];
    QPointer<QFileDialog> save = dialogs[0] == open ? dialogs[1] : dialogs[0];
    EXPECT_TRUE(open->windowModality() == Qt::WindowModal && save->windowModality() == Qt::WindowModal);   // sheets on macOS
    EXPECT_TRUE(open->isVisible() && open->fileMode() == QFileDialog::ExistingFile &&
                open->acceptMode() == QFileDialog::AcceptOpen && open->directory() == QDir(home));
    EXPECT_TRUE(save->isVisible() && save->fileMode() == QFileDialog::AnyFile &&
                save->acceptMode() == QFileDialog::AcceptSave && save->directory() == QDir(home));
    EXPECT_EQ(save->selectedFiles(), QStringList(home + "/Feeds.opml"));
    EXPECT_EQ(save->defaultSuffix() + " " + save->nameFilters().join(';'), "opml OPML files (*.opml);All files (*)");
    open->reject();
    QMetaObject::invokeMethod(save, "accept");   // as the Save button does
    save->reject();   // answered already
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(!open && !save) << "each goes once answered";
    EXPECT_EQ(answers, (QList<std::optional<QString>>{QString("step"), std::nullopt, home + "/Feeds.opml"}));
}

TEST_F(AppTest, GetPrefsTakesTheFileOrTheFallbacksAndNeverRewritesItAndSetPrefsMakesItReadable) {
    const QByteArray path = Key("DatabaseFileName", "<string>/data/feeds.db</string>");
    auto every = [](const char* n) { return Key("UpdateInterval", "<integer>" + QByteArray(n) + "</integer>"); };
    const struct { const char* label; QByteArray file; QString db; int interval; bool autoRefresh; } cases[] = {
        {"complete", Plist(path + every("30") + Key("AutoRefresh", "<true/>")), "/data/feeds.db", 30, true},
        {"empty path", Plist(Key("DatabaseFileName", "<string></string>") + every("5") +
                             Key("AutoRefresh", "<false/>")), DefaultDb(), 5, false},
        {"not a property list", "this is not\nan XML file at all\n", DefaultDb(), 10, true},
        {"extra key", Plist(Key("WindowLeft", "<integer>77</integer>") + every("-3")), DefaultDb(), -3, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        WriteFile(PrefsPath(), c.file);
        app().Open();
        EXPECT_EQ(Fields(), Values(c.db, c.interval, c.autoRefresh));
        EXPECT_EQ(ReadFile(PrefsPath()), c.file);
        SetPrefFields("/x/Database3", 20, false);   // saved readable whatever was there, other keys kept
        EXPECT_FALSE(app().SetPrefs());
        SetPrefFields("", 0, true);
        EXPECT_FALSE(app().GetPrefs());
        EXPECT_EQ(Fields(), Values("/x/Database3", 20, false));
        EXPECT_EQ(ReadFile(PrefsPath()).contains("<integer>77</integer>"), c.file.contains("WindowLeft"));
    }
}

// At the first start, and whenever the file (or its folder) has gone, a new one is written: with the
// default database and the interval and switch the App holds.
TEST_F(AppTest, AMissingPreferencesFileIsMadeWithTheDefaultDatabaseAndTheValuesHeld) {
    ASSERT_FALSE(QDir(Folders::PreferencesFolder()).exists());
    app().Open();
    EXPECT_EQ(Fields(), Values(DefaultDb(), 0, false));   // the default built from the preferences folder's parent
    EXPECT_EQ(Saved(), Fields());
    SetPrefFields("/not/saved", 25, true);
    for (bool read : {true, false}) {   // the folder gone, at GetPrefs and at SetPrefs
        std::filesystem::remove_all(Folders::PreferencesFolder().toStdString());
        read ? void(app().GetPrefs()) : void(app().SetPrefs());
        EXPECT_EQ(Saved(), Values(DefaultDb(), 25, true));
        EXPECT_EQ(Fields(), Saved());
    }
    // A file named relative to the working folder is kept by its absolute path, read or written first.
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(GuiEnvironment::Home());
    for (bool read : {true, false}) {
        app().preferencesFile = "Brindle.plist";
        read ? void(app().GetPrefs()) : void(app().SetPrefs());
        EXPECT_EQ(app().preferencesFile, (GuiEnvironment::Home() + "/Brindle.plist").toStdString());
        QFile::remove(GuiEnvironment::Home() + "/Brindle.plist");
    }
    QDir::setCurrent(cwd);
}

TEST_F(AppTest, StartUpChecksTheBrowserAndOpensTheFileTheWindowThenReads) {
    FixtureDb db;
    WriteFile(PrefsPath(), Plist(Key("DatabaseFileName", "<string>" + QByteArray::fromStdString(db.path()) + "</string>") +
                     Key("AutoRefresh", "<false/>")));
    FakeScript script("true");
    // What main does: the window with its controls, then App.Open, then the window's Open.
    Window1* w = Window1::Construct();
    app().Open();
    ASSERT_TRUE(Settle());
    EXPECT_EQ(script.Commands(), QStringList{"Check"});
    EXPECT_TRUE(app().SafariRunning);
    EXPECT_EQ(w->bbSafari->text() + " " + QString::number(w->ListCount()), "Stop Safari 0");
    EXPECT_EQ(app().applicationName() + " " + app().desktopFileName(), "BrindleX brindlex");
    w->Open();
    ASSERT_TRUE(Settle());
    EXPECT_EQ(w->ListCount(), 5);
    EXPECT_TRUE(seams.messages.isEmpty());
}

// Kept aside, an unreadable file never replaces one kept earlier; through a link, the file it points to
// is the one kept aside and replaced, and the link stays.
TEST_F(AppTest, UnreadablePreferencesAreKeptAsideUnderNewNamesAndALinkStays) {
    const QString real = GuiEnvironment::Home() + "/elsewhere/Brindle.plist";
    QDir().mkpath(Folders::PreferencesFolder());
    QFile::link(real, PrefsPath());
    for (const char* text : {"first unreadable\n", "second unreadable\n", "third\n"}) {
        WriteFile(real, text);
        app().Open();
        SetPrefFields("/x/Database3", 20, false);
        app().SetPrefs();
    }
    EXPECT_EQ(ReadFile(real + ".unreadable") + ReadFile(real + ".unreadable.2") + ReadFile(real + ".unreadable.3"),
              "first unreadable\nsecond unreadable\nthird\n");
    EXPECT_TRUE(QFileInfo(PrefsPath()).isSymLink());
    app().GetPrefs();
    EXPECT_EQ(Fields(), Values("/x/Database3", 20, false));
    // Names up to .unreadable.999: the last one is taken, and with none left the file is not moved.
    for (int n = 4; n < 999; ++n) WriteFile(real + ".unreadable." + QString::number(n), "");
    for (const char* text : {"999th\n", "1000th\n"}) {
        WriteFile(real, text);
        app().SetPrefs();
    }
    EXPECT_EQ(ReadFile(real + ".unreadable.999") + ReadFile(real + ".unreadable.1000"), "999th\n(none)");
}

// "Manage", and on macOS a click on the Dock icon (the application made active with no window showing),
// raise the open main window, or open a new one with a fresh list once it was closed.
TEST_F(AppTest, ManageAndBecomingActiveBringTheMainWindowBack) {
    FixtureDb db;
    QPointer<Window1> first = OpenMainWindow(db);
    db.exec("DELETE FROM Sources WHERE id=7");
    int manages = 0;
    QObject::connect(&app(), &App::manageRequested, first, [&] { ++manages; });
    first->showMinimized();
    first->FileManage()->trigger();
    EXPECT_FALSE(first->isMinimized());
    EXPECT_FALSE(app()._FileManage_Action());
    app().OnApplicationState(Qt::ApplicationActive);   // a window shows: nothing to bring back
    EXPECT_EQ(manages, 2);
    EXPECT_EQ(Window1::instance(false), first);
    EXPECT_EQ(first->ListCount(), 5) << "not re-read";
    // Closing stops the timers, and quits only where nothing could bring the window back.
    for (QTimer* timer : {first->Timer1, first->Timer2}) timer->start();
    first->close();
    EXPECT_EQ(app().quitOnLastWindowClosed(), !app().dock().CanBringWindowBack());
    app().setQuitOnLastWindowClosed(false);
    EXPECT_TRUE(!first || !(first->Timer1->isActive() || first->Timer2->isActive()));
    app().OnApplicationState(Qt::ApplicationInactive);
    EXPECT_EQ(Window1::instance(false), nullptr);
    app().AutoRefresh = true;
    QWidget tip(nullptr, Qt::ToolTip);   // a tip still showing is no window
    tip.show();
    app().OnApplicationState(Qt::ApplicationActive);
    Window1* second = Window1::instance(false);
    ASSERT_NE(second, nullptr);
    ASSERT_TRUE(Settle());
    EXPECT_TRUE(second->isVisible() && second->Timer1->isActive());
    EXPECT_EQ(second->ListCount(), 4);
}

// "Export Feeds as OPML…" saves the feeds the list shows where the user says; a failed write says why, and the
// database itself is never the file written. "Export Articles…" follows its window's list: enabled while a feed
// is selected, disabled on the bar that has no list. It saves the selected feed's articles where the user says,
// read and written on the worker while the window answers; the database itself as the target is refused with a
// message, and nothing changes.
TEST_F(AppTest, ExportsSaveWhatTheListShowsToTheChosenFileOrSayWhyNot) {
    EXPECT_FALSE(MenuBar1::Global()->findChild<QAction*>("FileExportArticles")->isEnabled());
    FixtureDb db;
    db.exec("UPDATE Sources SET title='.Apple: Hot/News?' WHERE id=1");
    Window1* w = OpenMainWindow(db);
    const QString opml = GuiEnvironment::Home() + "/Feeds.opml";
    struct Case { bool showAll; std::optional<QString> chosen; int outlines; int messages; };   // nullopt: cancelled
    for (const Case& c : {Case{false, std::nullopt, 0, 0}, Case{false, opml, 5, 0}, Case{true, opml, 7, 0},
                          Case{false, "/nonexistent/Feeds.opml", 0, 1}, Case{false, QString::fromStdString(db.path()), 0, 1}}) {
        app().showall = c.showAll;
        seams.fileChoice = c.chosen;
        seams.messages.clear();
        w->findChild<QAction*>("FileExport")->trigger();   // the menu's item
        ASSERT_TRUE(Settle());
        EXPECT_EQ(seams.fileDialogFolders.last(), QDir::homePath() + "/Feeds.opml");   // no Documents folder here
        EXPECT_EQ(ReadFile(c.chosen.value_or(opml)).count("<outline "), c.outlines);
        EXPECT_EQ(seams.messages.size(), c.messages);
    }

    seams.messages.clear();
    QAction* item = w->FileExportArticles();
    SelectFeed(w, "1");
    EXPECT_TRUE(item->isEnabled());

    const QString chosen = GuiEnvironment::Home() + "/apple.atom";
    seams.fileChoice = chosen;
    auto browser = Connected(db.path());   // the browser holds the file for a while: the window answers meanwhile
    ASSERT_TRUE(browser->Execute("BEGIN EXCLUSIVE"));
    item->trigger();   // the window goes on answering while the export waits for the lock on the worker
    ASSERT_TRUE(WaitUntil([] { return !app().db->Idle(); }));
    EXPECT_FALSE(QFile::exists(chosen));
    browser->Execute("ROLLBACK");
    ASSERT_TRUE(Settle());
    EXPECT_EQ(seams.events.filter("choose ").last() + " " + seams.fileDialogFolders.last(),
              "choose Export Articles " + QDir::homePath() + "/Apple- Hot-News-.atom");
    EXPECT_EQ(ReadFile(chosen).count("<entry>"), 2);
    EXPECT_TRUE(seams.messages.isEmpty());

    const QString database = QString::fromStdString(db.path());
    const QByteArray before = ReadFile(database);
    seams.fileChoice = database;
    item->trigger();
    ASSERT_TRUE(Settle());
    EXPECT_EQ(seams.messages, QStringList{"The articles could not be exported to " + database + ": it is the feed database itself"});
    EXPECT_EQ(ReadFile(database), before);

    seams.fileChoice = GuiEnvironment::Home() + "/apple.JSON";   // JSON Feed by the name's ending
    item->trigger();
    ASSERT_TRUE(Settle());
    EXPECT_TRUE(ReadFile(*seams.fileChoice).startsWith("{")) << ReadFile(*seams.fileChoice).left(40).toStdString();
    // The suggested name: no control or reserved characters, no dots or blanks at the ends, at most 200 bytes
    // (a character split there goes whole), never empty.
    seams.fileChoice.reset();
    const QString a197(197, 'a'), emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    for (const auto& [title, name] : std::vector<std::pair<QString, QString>>{
             {"a\tb\x7f", "a-b-"}, {"Daily News...", "Daily News"}, {" . ", "Articles"},
             {QString(201, 'a'), QString(200, 'a')}, {a197 + emoji, a197}}) {
        app().ExportArticles("1", title);
        ASSERT_TRUE(Settle());
        EXPECT_EQ(seams.fileDialogFolders.last(), QDir::homePath() + "/" + name + ".atom");
    }
    w->SetListIndex(-1);
    EXPECT_FALSE(item->isEnabled());
    w->SetListIndex(0);
    EXPECT_TRUE(item->isEnabled());
    db.exec("DELETE FROM Sources");
    w->GetDBInfo(false);
    ASSERT_TRUE(Settle());
    EXPECT_FALSE(item->isEnabled()) << "an emptied list has nothing selected";
}

}  // namespace
