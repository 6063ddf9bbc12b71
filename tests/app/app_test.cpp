#include "app/App.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTreeWidget>
#include <QLabel>
#include <QTimer>
#include <gtest/gtest.h>

#include "platform/DockTile.h"
#include "platform/Folders.h"
#include "tests/support/FixtureDb.h"
#include "tests/support/gui/FakeScript.h"
#include "tests/support/gui/GuiTest.h"
#include "ui/main/Window1.h"

namespace {

QString PrefsPath() { return Folders::PreferencesFolder() + "/Brindle.plist"; }
QString DefaultDb() { return Folders::LibraryFolder() + "/Syndication/Database3"; }

void WritePrefs(const QByteArray& text) {
    QDir().mkpath(Folders::PreferencesFolder());
    QFile f(PrefsPath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

QByteArray ReadPrefs() {
    QFile f(PrefsPath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray PlistWith(const QByteArray& entries) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple Computer//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\">\n<dict>\n" + entries + "</dict>\n</plist>\n";
}

std::filesystem::path PrefsFsPath() { return std::filesystem::path(PrefsPath().toStdString()); }

class AppTest : public GuiTest {
protected:
    FakeScript script{"false"};
};

TEST_F(AppTest, FirstStartCreatesThePreferencesFolderAndFileWithTheStartValues) {
    ASSERT_FALSE(QDir(Folders::PreferencesFolder()).exists());
    app().Open();
    ASSERT_TRUE(QFile::exists(PrefsPath()));
    EXPECT_EQ(app().dbFileName, DefaultDb());
    EXPECT_EQ(app().UpdateInterval, 0);
    EXPECT_FALSE(app().AutoRefresh);
    EXPECT_EQ(QString::fromStdString(app().preferencesFile.string()), PrefsPath());
    ASSERT_NE(app().db, nullptr);
    EXPECT_FALSE(app().db->IsConnected());

    plist saved(PrefsFsPath());
    EXPECT_EQ(saved.root->GetString("DatabaseFileName"), DefaultDb().toStdString());
    EXPECT_EQ(saved.root->GetInteger("UpdateInterval"), 0);
    EXPECT_FALSE(saved.root->GetBoolean("AutoRefresh"));
}

TEST_F(AppTest, DefaultDatabaseIsBuiltFromThePreferencesFoldersParent) {
    EXPECT_EQ(app().DefaultDatabasePath(), GuiEnvironment::Home() + "/.local/share/BrindleX/Syndication/Database3");
}

// Each case: the file's text, and the values GetPrefs must take from it.
struct PrefsCase {
    const char* label;
    QByteArray file;
    QString dbFileName;    // empty: the default path
    int interval;
    bool autoRefresh;
};

void PrintTo(const PrefsCase& c, std::ostream* os) { *os << c.label; }

class GetPrefsFallbacks : public AppTest, public ::testing::WithParamInterface<PrefsCase> {};

TEST_P(GetPrefsFallbacks, TakeTheFileOrTheFallbacksAndLeaveTheFileAlone) {
    const PrefsCase c = GetParam();
    WritePrefs(c.file);
    app().Open();
    EXPECT_EQ(app().dbFileName, c.dbFileName.isEmpty() ? DefaultDb() : c.dbFileName) << c.label;
    EXPECT_EQ(app().UpdateInterval, c.interval) << c.label;
    EXPECT_EQ(app().AutoRefresh, c.autoRefresh) << c.label;
    EXPECT_EQ(ReadPrefs(), c.file) << c.label << ": GetPrefs never rewrites an existing file";
}

INSTANTIATE_TEST_SUITE_P(
    Files, GetPrefsFallbacks,
    ::testing::Values(
        PrefsCase{"complete",
                  PlistWith("\t<key>DatabaseFileName</key>\n\t<string>/data/feeds.db</string>\n"
                            "\t<key>UpdateInterval</key>\n\t<integer>30</integer>\n"
                            "\t<key>AutoRefresh</key>\n\t<true/>\n"),
                  "/data/feeds.db", 30, true},
        PrefsCase{"only the path", PlistWith("\t<key>DatabaseFileName</key>\n\t<string>/data/feeds.db</string>\n"),
                  "/data/feeds.db", 10, true},
        PrefsCase{"empty path",
                  PlistWith("\t<key>DatabaseFileName</key>\n\t<string></string>\n"
                            "\t<key>UpdateInterval</key>\n\t<integer>5</integer>\n"
                            "\t<key>AutoRefresh</key>\n\t<false/>\n"),
                  "", 5, false},
        PrefsCase{"empty dictionary", PlistWith(""), "", 10, true},
        PrefsCase{"not a property list", "this is not\nan XML file at all\n", "", 10, true},
        PrefsCase{"empty file", "", "", 10, true},
        PrefsCase{"extra key",
                  PlistWith("\t<key>WindowLeft</key>\n\t<integer>77</integer>\n"
                            "\t<key>UpdateInterval</key>\n\t<integer>-3</integer>\n"),
                  "", -3, true}));

TEST_F(AppTest, SetPrefsKeepsOtherKeysAndWritesTheThreeValues) {
    WritePrefs(PlistWith("\t<key>WindowLeft</key>\n\t<integer>77</integer>\n"
                         "\t<key>UpdateInterval</key>\n\t<integer>10</integer>\n"));
    app().Open();
    app().dbFileName = "/elsewhere/Database3";
    app().UpdateInterval = 45;
    app().AutoRefresh = false;
    EXPECT_FALSE(app().SetPrefs());

    plist saved(PrefsFsPath());
    EXPECT_EQ(saved.root->GetInteger("WindowLeft"), 77);
    EXPECT_EQ(saved.root->GetString("DatabaseFileName"), "/elsewhere/Database3");
    EXPECT_EQ(saved.root->GetInteger("UpdateInterval"), 45);
    EXPECT_FALSE(saved.root->GetBoolean("AutoRefresh"));

    app().dbFileName.clear();
    app().UpdateInterval = 0;
    app().AutoRefresh = true;
    app().GetPrefs();
    EXPECT_EQ(app().dbFileName, "/elsewhere/Database3");
    EXPECT_EQ(app().UpdateInterval, 45);
    EXPECT_FALSE(app().AutoRefresh);
}

TEST_F(AppTest, AFileThatIsNotAPropertyListFallsBackAgainAfterSetPrefs) {
    WritePrefs("garbage line one\ngarbage line two\n");
    app().Open();
    app().dbFileName = "/x/Database3";
    app().UpdateInterval = 20;
    app().AutoRefresh = false;
    app().SetPrefs();
    app().GetPrefs();
    EXPECT_EQ(app().dbFileName, DefaultDb());
    EXPECT_EQ(app().UpdateInterval, 10);
    EXPECT_TRUE(app().AutoRefresh);
}

TEST_F(AppTest, DeletedFileIsCreatedAgainWithTheValuesInMemory) {
    app().Open();
    app().UpdateInterval = 25;
    app().AutoRefresh = true;
    app().dbFileName = "/not/saved";
    std::filesystem::remove_all(Folders::PreferencesFolder().toStdString());
    app().GetPrefs();
    plist saved(PrefsFsPath());
    EXPECT_EQ(saved.root->GetString("DatabaseFileName"), DefaultDb().toStdString());
    EXPECT_EQ(saved.root->GetInteger("UpdateInterval"), 25);
    EXPECT_TRUE(saved.root->GetBoolean("AutoRefresh"));
    EXPECT_EQ(app().dbFileName, DefaultDb());
}

TEST_F(AppTest, SetPrefsRecreatesAMissingPreferencesFolder) {
    app().Open();
    std::filesystem::remove_all(Folders::PreferencesFolder().toStdString());
    app().UpdateInterval = 12;
    app().SetPrefs();
    plist saved(PrefsFsPath());
    EXPECT_EQ(saved.root->GetInteger("UpdateInterval"), 12);
}

TEST_F(AppTest, GetPrefsEndsWithTheBrowserCheck) {
    script.SetReply("true");
    Window1::Construct();
    app().Open();
    EXPECT_EQ(script.Commands(), QStringList{"Check"});
    EXPECT_TRUE(app().SafariRunning);
    EXPECT_EQ(Window1::instance(false)->bbSafari->text(), "Stop Safari");
}

TEST_F(AppTest, StartUpChecksTheBrowserBeforeTheFirstRefresh) {
    FixtureDb db;
    WritePrefs(PlistWith("\t<key>DatabaseFileName</key>\n\t<string>" + QByteArray::fromStdString(db.path()) +
                         "</string>\n\t<key>UpdateInterval</key>\n\t<integer>10</integer>\n"
                         "\t<key>AutoRefresh</key>\n\t<false/>\n"));
    script.SetReply("true");
    // What main does: the window with its controls, then App.Open, then the window's Open.
    Window1* w = Window1::Construct();
    EXPECT_EQ(w->bbSafari->text(), "Start Safari");
    app().Open();
    EXPECT_EQ(w->bbSafari->text(), "Stop Safari");
    EXPECT_EQ(w->ListCount(), 0);
    EXPECT_EQ(w->stNumSources->text(), "99999");
    w->Open();
    EXPECT_EQ(w->ListCount(), 5);
    EXPECT_EQ(w->stNumSources->text(), "4");
    EXPECT_EQ(w->stCounter->text(), "Ready.  Click Update to check.");
    EXPECT_TRUE(seams.messages.isEmpty());
}

TEST_F(AppTest, StartUpWithAMissingDatabaseCompletesAndReportsItOnce) {
    WritePrefs(PlistWith("\t<key>DatabaseFileName</key>\n\t<string>/nonexistent/Database3</string>\n"));
    Window1* w = Window1::Construct();
    app().Open();
    w->Open();
    EXPECT_EQ(seams.messages, QStringList{"The database couldn't be opened."});
    EXPECT_EQ(seams.beeps, 1);
    EXPECT_TRUE(w->Timer1->isActive());   // the fallback switch: automatic refresh
    EXPECT_EQ(w->stCounter->text(), "Next check in 10 seconds...");
}

struct ReplyCase {
    const char* reply;
    bool running;
};
void PrintTo(const ReplyCase& c, std::ostream* os) { *os << '"' << c.reply << '"'; }
class ReplyIsTrueTest : public ::testing::TestWithParam<ReplyCase> {};
TEST_P(ReplyIsTrueTest, OnlyTrueReadsAsRunning) {
    EXPECT_EQ(App::ReplyIsTrue(GetParam().reply), GetParam().running) << '"' << GetParam().reply << '"';
}
INSTANTIATE_TEST_SUITE_P(Replies, ReplyIsTrueTest,
                         ::testing::Values(ReplyCase{"true", true}, ReplyCase{"True", true},
                                           ReplyCase{" true\n", true}, ReplyCase{"false", false},
                                           ReplyCase{"", false}, ReplyCase{"yes", false}, ReplyCase{"1", false},
                                           ReplyCase{"truer", false}, ReplyCase{"not true", false}));

TEST_F(AppTest, RelaunchSafariQuitsWaitsStartsWaitsAndLeavesTheStateAlone) {
    Window1* w = Window1::Construct();
    app().SafariRunning = false;
    script.SetReply("true");
    EXPECT_FALSE(app().RelaunchSafari());
    EXPECT_EQ(script.Commands(), (QStringList{"Quit", "Start"}));
    EXPECT_EQ(seams.waits, (QVector<int>{2500, 2500}));
    EXPECT_FALSE(app().SafariRunning);
    EXPECT_EQ(w->bbSafari->text(), "Start Safari");
}

TEST_F(AppTest, ManageAfterTheMainWindowWasClosedOpensANewOneWithAFreshList) {
    FixtureDb db;
    Window1* first = OpenMainWindow(db);
    first->close();
    EXPECT_EQ(Window1::instance(false), nullptr);
    db.exec("DELETE FROM Sources WHERE id=7");
    EXPECT_FALSE(app()._FileManage_Action());
    Window1* second = Window1::instance(false);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    EXPECT_TRUE(second->isVisible());
    EXPECT_EQ(second->ListCount(), 4);
    EXPECT_TRUE(second->Timer2->isActive());
}

TEST_F(AppTest, ManageWithTheWindowOpenKeepsTheSameWindowAndList) {
    FixtureDb db;
    Window1* w = OpenMainWindow(db);
    db.exec("DELETE FROM Sources WHERE id=7");
    w->FileManage()->trigger();
    EXPECT_EQ(Window1::instance(false), w);
    EXPECT_EQ(w->ListCount(), 5);
}

TEST_F(AppTest, ClosingTheMainWindowQuitsOnlyWhereNothingCanBringItBack) {
    FixtureDb db;
    Window1* w = OpenMainWindow(db);
    app().setQuitOnLastWindowClosed(app().dock().CanBringWindowBack());
    w->close();
    EXPECT_EQ(app().quitOnLastWindowClosed(), !app().dock().CanBringWindowBack());
    app().setQuitOnLastWindowClosed(false);
}

}  // namespace
