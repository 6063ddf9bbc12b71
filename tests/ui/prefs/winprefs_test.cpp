// The preferences window: its controls, opening from the file, the file chooser, the arrows, Cancel and
// Save with its switch of the main window's mode.
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <gtest/gtest.h>

#include "app/App.h"
#include "platform/DockTile.h"
#include "tests/support/FixtureDb.h"
#include "tests/support/gui/GuiTest.h"
#include "ui/main/UnreadBadge.h"
#include "ui/main/Window1.h"
#include "ui/prefs/UpDownArrows.h"
#include "ui/prefs/winPrefs.h"

namespace {

const QString kReady = QStringLiteral("Ready.  Click Update to check.");

QString PrefsPath() { return QString::fromStdString(app().preferencesFile.string()); }

void WritePrefs(const QString& dbPath, int interval, bool autoRefresh, const QString& extra = QString()) {
    std::filesystem::create_directories(app().preferencesFile.parent_path());
    QFile f(PrefsPath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QString text = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE plist PUBLIC \"-//Apple Computer//DTD PLIST 1.0//EN\" "
        "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
        "<plist version=\"1.0\">\n<dict>\n");
    text += QStringLiteral("\t<key>DatabaseFileName</key>\n\t<string>%1</string>\n").arg(dbPath);
    text += QStringLiteral("\t<key>UpdateInterval</key>\n\t<integer>%1</integer>\n").arg(interval);
    text += QStringLiteral("\t<key>AutoRefresh</key>\n\t<%1/>\n").arg(autoRefresh ? "true" : "false");
    text += extra;
    text += QStringLiteral("</dict>\n</plist>\n");
    f.write(text.toUtf8());
}

QString FileText() {
    QFile f(PrefsPath());
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

/// A click on the upper (up) or lower (down) arrow, as the mouse gives it.
void ClickArrow(UpDownArrows* arrows, bool up) {
    const QPointF at(4, up ? 4 : 15);
    QMouseEvent press(QEvent::MouseButtonPress, at, arrows->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, arrows->mapToGlobal(at), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(arrows, &press);
    QCoreApplication::sendEvent(arrows, &release);
}

class WinPrefsTest : public GuiTest {
protected:
    ~WinPrefsTest() override {
        if (winPrefs* p = winPrefs::instance(false)) delete p;
    }
    Window1* OpenMain(FixtureDb& db, bool autoRefresh) {
        Window1* w = OpenMainWindow(db, autoRefresh, 10);
        return w;
    }
    QString dbPath(FixtureDb& db) { return QString::fromStdString(db.path()); }
};

}  // namespace

TEST_F(WinPrefsTest, NineControlsStandWhereTheyShould) {
    winPrefs* p = winPrefs::instance();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->windowTitle(), QStringLiteral("Preferences"));
    EXPECT_EQ(p->size(), QSize(424, 183));
    EXPECT_EQ(p->minimumSize(), p->maximumSize()) << "not resizable";
    EXPECT_TRUE(p->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(p->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(p->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(p->isVisible());
    EXPECT_TRUE(p->isWindow());

    struct Control { QWidget* widget; const char* name; const char* kind; QRect geometry; int pixels; };
    const Control controls[] = {
        {p->efLibFilePath, "efLibFilePath", "QPlainTextEdit", {20, 37, 349, 45}, 12},
        {p->PushButton1, "PushButton1", "QPushButton", {381, 38, 23, 20}, 12},
        {p->StaticText1, "StaticText1", "QLabel", {20, 14, 327, 20}, 11},
        {p->cbUpdate, "cbUpdate", "QCheckBox", {20, 94, 100, 20}, 11},
        {p->UpDownArrows1, "UpDownArrows1", "UpDownArrows", {233, 94, 9, 20}, 11},
        {p->efInterval, "efInterval", "QLineEdit", {182, 94, 39, 20}, 11},
        {p->StaticText2, "StaticText2", "QLabel", {133, 94, 51, 20}, 11},
        {p->pbCancel, "pbCancel", "QPushButton", {232, 143, 80, 20}, 11},
        {p->pbSave, "pbSave", "QPushButton", {324, 143, 80, 20}, 11},
    };
    QList<QWidget*> children;
    for (QObject* o : p->children())
        if (auto* wgt = qobject_cast<QWidget*>(o)) children << wgt;
    ASSERT_GE(children.size(), 9);
    for (int i = 0; i < 9; ++i) {
        const Control& c = controls[i];
        SCOPED_TRACE(c.name);
        ASSERT_NE(c.widget, nullptr);
        EXPECT_EQ(children[i], c.widget) << "creation order";
        EXPECT_EQ(c.widget->objectName(), QString::fromLatin1(c.name));
        EXPECT_STREQ(c.widget->metaObject()->className(), c.kind);
        EXPECT_EQ(c.widget->geometry(), c.geometry);
        EXPECT_EQ(c.widget->font().pixelSize(), c.pixels);
        EXPECT_TRUE(c.widget->isVisible());
    }
    EXPECT_EQ(p->StaticText1->text(), QStringLiteral("Select Safari Syndication database:"));
    EXPECT_EQ(p->StaticText2->text(), QStringLiteral("Interval"));
    EXPECT_EQ(p->cbUpdate->text(), QStringLiteral("Auto-Update"));
    EXPECT_EQ(p->pbCancel->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(p->pbSave->text(), QStringLiteral("Save"));
    EXPECT_TRUE(p->PushButton1->text().isEmpty());
    EXPECT_TRUE(p->efLibFilePath->isReadOnly());
    EXPECT_TRUE(p->efInterval->isReadOnly());
    for (QPushButton* b : {p->PushButton1, p->pbCancel, p->pbSave}) EXPECT_FALSE(b->isDefault() || b->autoDefault());
    // Every caption fits its box at these sizes.
    for (QWidget* wgt : {static_cast<QWidget*>(p->StaticText1), static_cast<QWidget*>(p->StaticText2),
                         static_cast<QWidget*>(p->cbUpdate), static_cast<QWidget*>(p->pbCancel)})
        EXPECT_LE(wgt->sizeHint().width(), wgt->width() + 4) << wgt->objectName().toStdString();
}

TEST_F(WinPrefsTest, FirstOpeningCreatesTheFileAndShowsItsValues) {
    ASSERT_FALSE(QFileInfo::exists(PrefsPath()));
    winPrefs* p = winPrefs::instance();
    EXPECT_TRUE(QFileInfo::exists(PrefsPath()));
    EXPECT_EQ(p->efLibFilePath->toPlainText(), app().DefaultDatabasePath());
    EXPECT_FALSE(p->cbUpdate->isChecked());
    EXPECT_EQ(p->efInterval->text(), QStringLiteral("0"));
    EXPECT_TRUE(app().prefsVisible);
}

TEST_F(WinPrefsTest, OpeningReloadsFromTheFileDiscardingUnsavedValues) {
    WritePrefs(QStringLiteral("/data/feeds.db"), 25, true);
    app().dbFileName = QStringLiteral("/somewhere/else");
    app().UpdateInterval = 3;
    app().AutoRefresh = false;
    winPrefs* p = winPrefs::instance();
    EXPECT_EQ(p->efLibFilePath->toPlainText(), QStringLiteral("/data/feeds.db"));
    EXPECT_TRUE(p->cbUpdate->isChecked());
    EXPECT_EQ(p->efInterval->text(), QStringLiteral("25"));
    EXPECT_EQ(app().dbFileName, QStringLiteral("/data/feeds.db"));
    EXPECT_EQ(app().UpdateInterval, 25);
    EXPECT_TRUE(app().AutoRefresh);
}

TEST_F(WinPrefsTest, ArrowsStepByOnePast0ToMinus1AndSaveStoresIt) {
    WritePrefs(QStringLiteral("/data/feeds.db"), 1, false);
    winPrefs* p = winPrefs::instance();
    QStringList seen;
    for (bool up : {false, false, true, true, true, false}) {
        ClickArrow(p->UpDownArrows1, up);
        seen << p->efInterval->text();
    }
    EXPECT_EQ(seen, (QStringList{"0", "-1", "0", "1", "2", "1"}));
    ClickArrow(p->UpDownArrows1, false);
    ClickArrow(p->UpDownArrows1, false);
    ASSERT_EQ(p->efInterval->text(), QStringLiteral("-1"));
    p->pbSave->click();
    app().UpdateInterval = 99;
    app().GetPrefs();
    EXPECT_EQ(app().UpdateInterval, -1);
}

TEST_F(WinPrefsTest, ArrowsReadTextThatIsNoNumberAs0) {
    winPrefs* p = winPrefs::instance();
    struct Case { const char* text; bool up; const char* expect; };
    for (const Case& c : {Case{"abc", true, "1"}, Case{"", false, "-1"}, Case{"12x", true, "13"},
                          Case{"2147483647", true, "2147483647"}, Case{"-2147483648", false, "-2147483648"}}) {
        p->efInterval->setText(QString::fromLatin1(c.text));
        c.up ? p->UpDownArrows1_Up() : p->UpDownArrows1_Down();
        EXPECT_EQ(p->efInterval->text(), QString::fromLatin1(c.expect)) << c.text;
    }
}

TEST_F(WinPrefsTest, ChosenFileTakesEffectAtOnceAndCancelKeepsItUntilTheNextOpening) {
    FixtureDb saved;
    FixtureDb chosen;
    ASSERT_TRUE(chosen.exec("DELETE FROM Sources WHERE id<>7"));
    WritePrefs(dbPath(saved), 10, false);
    Window1* w = OpenMain(saved, false);
    ASSERT_GT(w->ListCount(), 1);

    w->bbPrefs->click();
    winPrefs* p = winPrefs::instance(false);
    ASSERT_NE(p, nullptr);
    seams.fileChoice = dbPath(chosen);
    p->PushButton1->click();
    EXPECT_EQ(seams.fileDialogTitles, QStringList{"Select your Safari syndication database file"});
    EXPECT_EQ(seams.fileDialogFolders, QStringList{QFileInfo(app().DefaultDatabasePath()).absolutePath()});
    EXPECT_EQ(app().dbFileName, dbPath(chosen));
    EXPECT_EQ(p->efLibFilePath->toPlainText(), dbPath(chosen));

    p->pbCancel->click();
    EXPECT_EQ(winPrefs::instance(false), nullptr);
    EXPECT_FALSE(app().prefsVisible);
    EXPECT_TRUE(FileText().contains(dbPath(saved))) << "Cancel writes nothing";

    w->bbUpdate_Action();   // the next refresh reads the chosen file
    ASSERT_EQ(w->ListCount(), 1);
    EXPECT_EQ(w->Cell(0, 3), QStringLiteral("7"));

    w->bbPrefs->click();   // reopening shows the saved path again, and it is used from then on
    p = winPrefs::instance(false);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->efLibFilePath->toPlainText(), dbPath(saved));
    EXPECT_EQ(app().dbFileName, dbPath(saved));
}

TEST_F(WinPrefsTest, CancelledChooserKeepsTheCurrentPath) {
    WritePrefs(QStringLiteral("/data/feeds.db"), 10, true);
    winPrefs* p = winPrefs::instance();
    p->efLibFilePath->setPlainText(QStringLiteral("stale text"));
    seams.fileChoice.reset();
    p->PushButton1_Action();
    EXPECT_EQ(app().dbFileName, QStringLiteral("/data/feeds.db"));
    EXPECT_EQ(p->efLibFilePath->toPlainText(), QStringLiteral("/data/feeds.db"));
}

TEST_F(WinPrefsTest, SaveWritesTheThreeKeysAndKeepsOthers) {
    WritePrefs(QStringLiteral("/old/Database3"), 10, false,
               QStringLiteral("\t<key>WindowColour</key>\n\t<string>brindle</string>\n"));
    winPrefs* p = winPrefs::instance();
    seams.fileChoice = QStringLiteral("/new/place/Database3");
    p->PushButton1_Action();
    p->cbUpdate->setChecked(true);
    ClickArrow(p->UpDownArrows1, true);
    p->pbSave->click();

    EXPECT_EQ(winPrefs::instance(false), nullptr);
    EXPECT_FALSE(app().prefsVisible);
    const QString text = FileText();
    EXPECT_TRUE(text.contains(QStringLiteral("<key>WindowColour</key>"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("<string>brindle</string>")));
    app().dbFileName.clear();
    app().UpdateInterval = 0;
    app().AutoRefresh = false;
    app().GetPrefs();
    EXPECT_EQ(app().dbFileName, QStringLiteral("/new/place/Database3"));
    EXPECT_EQ(app().UpdateInterval, 11);
    EXPECT_TRUE(app().AutoRefresh);
}

TEST_F(WinPrefsTest, SaveSwitchesTheMainWindowsModeAtOnceBothWays) {
    FixtureDb db;
    WritePrefs(dbPath(db), 10, false);
    Window1* w = OpenMain(db, false);
    ASSERT_FALSE(w->Timer1->isActive());
    ASSERT_TRUE(w->Timer2->isActive());
    app().Counter = 4;

    // Manual to automatic, interval 30.
    w->bbPrefs->click();
    winPrefs* p = winPrefs::instance(false);
    ASSERT_NE(p, nullptr);
    p->cbUpdate->setChecked(true);
    p->efInterval->setText(QStringLiteral("30"));
    p->pbSave->click();
    EXPECT_TRUE(w->Timer1->isActive());
    EXPECT_EQ(w->Timer1->interval(), 1000);
    EXPECT_FALSE(w->Timer2->isActive());
    EXPECT_EQ(w->stCounter->text(), QStringLiteral("Next check in 30 seconds..."));
    EXPECT_EQ(app().Counter, 4) << "the countdown goes on from where it was";
    EXPECT_EQ(app().UpdateInterval, 30);

    // A tick draws the badge; back to manual mode takes it away again.
    w->Timer1_Action();
    ASSERT_FALSE(app().dock().CurrentPicture().isNull());
    w->bbPrefs->click();
    p = winPrefs::instance(false);
    ASSERT_NE(p, nullptr);
    p->cbUpdate->setChecked(false);
    p->pbSave->click();
    EXPECT_FALSE(w->Timer1->isActive());
    EXPECT_TRUE(w->Timer2->isActive());
    EXPECT_EQ(w->Timer2->interval(), 1000);
    EXPECT_EQ(w->stCounter->text(), kReady);
    EXPECT_TRUE(app().dock().CurrentPicture().isNull()) << "the plain application icon";
    EXPECT_FALSE(app().AutoRefresh);
}

TEST_F(WinPrefsTest, SaveWithTheMainWindowClosedStillSaves) {
    WritePrefs(QStringLiteral("/data/feeds.db"), 10, false);
    CloseMainWindow();
    winPrefs* p = winPrefs::instance();
    p->cbUpdate->setChecked(true);
    p->pbSave->click();
    EXPECT_EQ(Window1::instance(false), nullptr) << "Save does not bring a closed main window back";
    app().AutoRefresh = false;
    app().GetPrefs();
    EXPECT_TRUE(app().AutoRefresh);
}

TEST_F(WinPrefsTest, ClosedWithItsCloseButtonTheNextPressOpensItAgain) {
    FixtureDb db;
    WritePrefs(dbPath(db), 10, false);
    Window1* w = OpenMain(db, false);
    w->bbPrefs->click();
    winPrefs* p = winPrefs::instance(false);
    ASSERT_NE(p, nullptr);
    p->close();   // the title bar's close button
    EXPECT_FALSE(app().prefsVisible);
    EXPECT_EQ(winPrefs::instance(false), nullptr);
    w->bbPrefs->click();
    ASSERT_NE(winPrefs::instance(false), nullptr) << "one press shows the window";
    EXPECT_TRUE(winPrefs::instance(false)->isVisible());
    EXPECT_TRUE(app().prefsVisible);
}
