// The preferences window: its controls, opening from the file, the file chooser, the arrows, Cancel and
// Save with its switch of the main window's mode.
#include <QAction>
#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/DockTile.h"
#include "tests/support/gui/GuiTest.h"
#include "ui/main/Window1.h"
#include "ui/prefs/UpDownArrows.h"
#include "ui/prefs/winPrefs.h"

namespace {

/// A point on the upper (up) or lower (down) arrow.
QPointF Arrow(bool up) { return QPointF(4, up ? 4 : 15); }

void ClickArrow(UpDownArrows* arrows, bool up) {
    Mouse(arrows, Arrow(up), true);
    Mouse(arrows, Arrow(up), false);
}

class WinPrefsTest : public GuiTest {
protected:
    ~WinPrefsTest() override { delete winPrefs::instance(false); }
    static QString Path(FixtureDb& db) { return QString::fromStdString(db.path()); }
    /// "Preferences" pressed: the Preferences window left showing, or null.
    static winPrefs* Press(Window1* w) {
        w->bbPrefs->click();
        return winPrefs::instance(false);
    }
};

}  // namespace

TEST_F(WinPrefsTest, OpeningReloadsFromTheFileTheArrowsStepPast0ToMinus1AndSaveWritesAndCloses) {
    SetPrefFields(QStringLiteral("/data/feeds.db"), 1, false);
    app().SetPrefs();
    SetPrefFields(QStringLiteral("/somewhere/else"), 3, true);   // unsaved values are discarded
    winPrefs* p = winPrefs::instance();
    EXPECT_EQ(p->efLibFilePath->toPlainText(), QStringLiteral("/data/feeds.db"));
    EXPECT_FALSE(p->cbUpdate->isChecked());
    EXPECT_EQ(app().dbFileName, QStringLiteral("/data/feeds.db"));
    QStringList seen{p->efInterval->text()};
    for (bool up : {false, false, true, true, true, false, false, false}) {
        ClickArrow(p->UpDownArrows1, up);
        seen << p->efInterval->text();
    }
    EXPECT_EQ(seen, (QStringList{"1", "0", "-1", "0", "1", "2", "1", "0", "-1"}));
    // Text that is no number reads as 0; a step past the int range is not taken.
    struct Case { const char* text; bool up; const char* expect; };
    for (const Case& c : {Case{"abc", true, "1"}, Case{"", false, "-1"}, Case{"12x", true, "13"},
                          Case{"2147483647", true, "2147483647"}, Case{"-2147483648", false, "-2147483648"}}) {
        p->efInterval->setText(QString::fromLatin1(c.text));
        c.up ? p->UpDownArrows1_Up() : p->UpDownArrows1_Down();
        EXPECT_EQ(p->efInterval->text(), QString::fromLatin1(c.expect)) << c.text;
    }
    // Save writes the values shown and closes, leaving a closed main window closed.
    p->efInterval->setText(QStringLiteral("6"));
    seams.fileChoice = QStringLiteral("/new/place/Database3");
    p->PushButton1_Action();
    ASSERT_TRUE(Settle());
    p->cbUpdate->setChecked(true);
    p->pbSave->click();
    EXPECT_TRUE(winPrefs::instance(false) == nullptr && !app().prefsVisible) << "Save closes it";
    EXPECT_EQ(Window1::instance(false), nullptr);
    app().GetPrefs();   // from the file
    EXPECT_EQ(app().dbFileName + " " + QString::number(app().UpdateInterval), "/new/place/Database3 6");
    EXPECT_TRUE(app().AutoRefresh);
}

// The file chosen takes effect at once; Cancel keeps it until the next opening; each press of the button toggles the
// window, the menu item only shows it; Save switches the main window's mode.
TEST_F(WinPrefsTest, ChosenFileTakesEffectAtOnceCancelKeepsItEachPressTogglesAndSaveSwitchesTheMode) {
    FixtureDb saved, chosen;
    ASSERT_TRUE(chosen.exec("DELETE FROM Sources WHERE id<>7"));
    SetPrefFields(Path(saved), 10, false);   // and saved in the preferences file
    app().SetPrefs();
    Window1* w = OpenMainWindow(saved);   // manual mode
    winPrefs* p = Press(w);
    // Shown over the main window, near its top.
    ASSERT_TRUE(p && p->y() - w->y() == 80 && std::abs(p->frameGeometry().center().x() - w->frameGeometry().center().x()) <= 1);
    p->efLibFilePath->setPlainText(QStringLiteral("stale text"));
    p->PushButton1->click();   // the chooser cancelled: the current path stays
    ASSERT_TRUE(Settle());
    EXPECT_EQ(p->efLibFilePath->toPlainText(), Path(saved));
    seams.fileChoice = Path(chosen);
    p->PushButton1->click();
    ASSERT_TRUE(Settle());
    EXPECT_EQ(seams.events.filter("choose ").value(1), QStringLiteral("choose Select your Safari syndication database file"));
    EXPECT_EQ(seams.fileDialogFolders.value(1), QFileInfo(app().DefaultDatabasePath()).absolutePath());
    EXPECT_EQ(app().dbFileName, Path(chosen));
    EXPECT_EQ(p->efLibFilePath->toPlainText(), Path(chosen));

    p->pbCancel->click();
    EXPECT_TRUE(winPrefs::instance(false) == nullptr && !app().prefsVisible) << "Cancel closes it";
    w->bbUpdate_Action();   // the next refresh reads the chosen file
    ASSERT_TRUE(Settle());
    EXPECT_EQ(w->ListCount(), 1);

    ASSERT_NE(p = Press(w), nullptr);   // Cancel wrote nothing: reopening shows the saved path
    EXPECT_EQ(p->efLibFilePath->toPlainText(), Path(saved));

    EXPECT_TRUE(Press(w) == nullptr && !app().prefsVisible) << "pressed again, it closes";
    // "Preferences…" in the menu opens it as the button does, and brings it forward when it is open.
    QAction* item = w->menuBar()->findChild<QAction*>("FilePreferences");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->menuRole(), QAction::PreferencesRole);
    EXPECT_EQ(item->shortcut(), QKeySequence(QKeySequence::Preferences));
    for (int i = 0; i < 2; ++i) {
        item->trigger();
        ASSERT_NE(p = winPrefs::instance(false), nullptr);
        EXPECT_TRUE(p->isVisible() && app().prefsVisible);
    }
    p->close();   // the title bar's close button
    EXPECT_FALSE(app().prefsVisible);
    ASSERT_NE(p = Press(w), nullptr) << "one press shows the window";
    EXPECT_TRUE(p->isVisible() && app().prefsVisible);

    // Save switches the main window's mode at once, both ways.
    app().Counter = 4;
    w->Timer2->start();   // manual mode, as the opening left it
    p->cbUpdate->setChecked(true);
    p->efInterval->setText(QStringLiteral("30"));
    p->pbSave->click();
    EXPECT_TRUE(w->Timer1->isActive() && w->Timer1->interval() == 1000 && !w->Timer2->isActive());
    EXPECT_EQ(w->stCounter->text(), QStringLiteral("Next check in 30 seconds..."));
    EXPECT_EQ(app().Counter, 4) << "the countdown goes on from where it was";

    w->Timer1_Action();   // draws the badge; back to manual mode takes it away again
    ASSERT_TRUE(Settle());
    ASSERT_FALSE(app().dock().CurrentPicture().isNull());
    ASSERT_NE(p = Press(w), nullptr);
    p->cbUpdate->setChecked(false);
    p->pbSave->click();
    EXPECT_TRUE(!w->Timer1->isActive() && w->Timer2->isActive() && w->Timer2->interval() == 1000);
    EXPECT_EQ(w->stCounter->text(), QStringLiteral("Ready.  Click Update to check."));
    EXPECT_TRUE(app().dock().CurrentPicture().isNull()) << "the plain application icon";
}

// A preferences file that cannot be written (a folder in its place, a loop of links): Save says so, naming the file
// and why, and the window stays open; once the way is clear, Save writes and closes.
TEST_F(WinPrefsTest, ASaveThatFailsIsSaidAndTheWindowStaysOpen) {
    const std::filesystem::path file = app().preferencesFile;
    for (const char* obstacle : {"it is a folder", "its links go round in a loop"}) {
        SCOPED_TRACE(obstacle);
        std::filesystem::remove_all(file);
        if (QString(obstacle).contains("folder")) std::filesystem::create_directories(file / "inside");
        else std::filesystem::create_symlink(file.filename(), file);
        winPrefs* p = winPrefs::instance();
        seams.messages.clear();
        p->pbSave->click();
        EXPECT_EQ(seams.messages, QStringList{"The preferences could not be saved to " +
                                              QString::fromStdString(file.string()) + ": " + obstacle + "."});
        EXPECT_EQ(winPrefs::instance(false), p);
        EXPECT_TRUE(p->isVisible() && app().prefsVisible);
    }
    std::filesystem::remove_all(file);
    winPrefs::instance()->pbSave->click();
    EXPECT_TRUE(winPrefs::instance(false) == nullptr && !app().prefsVisible);
    EXPECT_TRUE(std::filesystem::is_regular_file(file));
}


// What the user sees of the Preferences window, and of its arrows held down (the half pressed goes dark) and let go;
// a window of fixed size with no default button, that goes once closed.
TEST_F(WinPrefsTest, TheWindowAndItsArrowsLookAsKeptAndItHasNoDefaultButton) {
    SetPrefFields(QStringLiteral("/Users/jdoe/Documents/Old Mac 2005/Library/Syndication/Database3"), 30, true);
    app().SetPrefs();
    winPrefs* p = winPrefs::instance();
    EXPECT_TRUE(LooksAsKept(OnScreen(p), "preferences-window"));
    const QImage arrows = OnScreen(p->UpDownArrows1);
    for (const bool up : {true, false}) {
        Mouse(p->UpDownArrows1, Arrow(up), true);
        EXPECT_TRUE(LooksAsKept(OnScreen(p->UpDownArrows1), up ? "arrows-up-held" : "arrows-down-held"));
        Mouse(p->UpDownArrows1, Arrow(up), false);
        EXPECT_EQ(OnScreen(p->UpDownArrows1), arrows) << "let go, the arrows look as they do untouched";
    }
    QPalette red = p->UpDownArrows1->palette();   // the face in the button colour, whatever the window's is
    red.setColor(QPalette::Button, Qt::red);
    p->UpDownArrows1->setPalette(red);
    EXPECT_EQ(p->UpDownArrows1->grab().toImage().pixelColor(4, 2), QColor(Qt::red));
    EXPECT_EQ(p->minimumSize(), p->maximumSize()) << "not resizable";
    EXPECT_TRUE(p->efLibFilePath->isReadOnly() && p->efInterval->isReadOnly());
    for (QPushButton* b : {p->PushButton1, p->pbCancel, p->pbSave}) EXPECT_FALSE(b->isDefault() || b->autoDefault());
    EXPECT_EQ(p->windowFlags() & (Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint), Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(p->PushButton1->toolTip().isEmpty()) << "a button without a caption says what it does";
    const QPointer<winPrefs> closed = p;
    p->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(closed.isNull()) << "closed, it goes";
}
