#include "ui/main/Window1.h"

#include <QAction>
#include <QFile>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "app/App.h"
#include "platform/IconDownloader.h"
#include "tests/support/FixtureDb.h"
#include "tests/support/gui/FakeScript.h"
#include "tests/support/gui/GuiTest.h"
#include "ui/main/BusyIndicator.h"
#include "ui/main/IconCanvas.h"

namespace {

struct ControlCase {
    const char* name;
    const char* kind;
    QRect geometry;       // null for the controls that are not seen
    const char* text;     // caption or initial text; nullptr where there is none
    const char* toolTip;
};

const ControlCase kControls[] = {
    {"ListBox1", "QTreeWidget", {14, 48, 521, 206}, nullptr, ""},
    {"StaticText1", "QLabel", {14, 259, 111, 20}, "Number of Sources:", ""},
    {"StaticText2", "QLabel", {232, 259, 79, 20}, "Total Articles:", ""},
    {"StaticText3", "QLabel", {408, 259, 75, 20}, "Total Unread:", ""},
    {"stNumSources", "QLabel", {129, 259, 39, 20}, "99999", ""},
    {"stNumUnread", "QLabel", {495, 259, 39, 20}, "99999", ""},
    {"stNumArticles", "QLabel", {313, 259, 39, 20}, "99999", ""},
    {"ProgressWheel1", "BusyIndicator", {329, 464, 16, 16}, nullptr, ""},
    {"TCPSocket1", "IconDownloader", {}, nullptr, nullptr},
    {"Canvas2", "IconCanvas", {397, 296, 122, 120}, nullptr, ""},
    {"stTitle", "QLabel", {20, 296, 340, 20}, "stTitle", ""},
    {"stURL", "QLabel", {20, 318, 343, 40}, "stURl", ""},
    {"stHomepage", "QLabel", {20, 362, 343, 40}, "stHomepage", ""},
    {"GroupBox1", "QGroupBox", {14, 284, 520, 144}, "", ""},
    {"stHTTPDate", "QLabel", {20, 396, 238, 20}, "stHTTPDate", ""},
    {"Timer1", "QTimer", {}, nullptr, nullptr},
    {"stCounter", "QLabel", {14, 464, 310, 18}, "Ready.  Click Update to check.", ""},
    {"bbMarkRead", "QPushButton", {14, 14, 100, 22}, "Mark Read", "Mark selected feed read"},
    {"bbMarkUnread", "QPushButton", {119, 14, 100, 22}, "Mark Unread", "Mark selected feed unread"},
    {"bbMarkAllRead", "QPushButton", {224, 14, 100, 22}, "Mark All Read", "Mark all feeds read"},
    {"bbReset", "QPushButton", {329, 14, 100, 22}, "Reset", "Reset selected feed"},
    {"bbResetAll", "QPushButton", {434, 14, 100, 22}, "Reset All", "Reset all feeds"},
    {"Timer2", "QTimer", {}, nullptr, nullptr},
    {"bbUpdate", "QPushButton", {119, 438, 100, 22}, "Update Now", "Update feeds now"},
    {"bbSafari", "QPushButton", {14, 438, 100, 22}, "Start Safari", "Sart or stop Safari"},
    {"bbShow", "QPushButton", {224, 438, 100, 22}, "Show All", "Show all feeds"},
    {"bbPrefs", "QPushButton", {329, 438, 100, 22}, "Preferences", "Set application preferences"},
    {"BevelButton1", "QPushButton", {434, 438, 100, 22}, "Quit", "Quit BrindleX"},
    {"stTime", "QLabel", {357, 464, 178, 18}, "", ""},
};

QString TextOf(QObject* o) {
    if (auto* l = qobject_cast<QLabel*>(o)) return l->text();
    if (auto* b = qobject_cast<QPushButton*>(o)) return b->text();
    if (auto* g = qobject_cast<QGroupBox*>(o)) return g->title();
    return {};
}

// The row whose hidden key column holds id, or -1.
int RowOf(Window1* w, const QString& id) {
    for (int r = 0; r < w->ListCount(); ++r)
        if (w->Cell(r, 3) == id) return r;
    return -1;
}

QStringList Titles(Window1* w) {
    QStringList t;
    for (int r = 0; r < w->ListCount(); ++r) t << w->Cell(r, 0);
    return t;
}

class Window1Test : public GuiTest {
protected:
    FakeScript script{"false"};
};

TEST_F(Window1Test, HasEveryControlInCreationOrderWithNameKindPlaceTextAndTooltip) {
    Window1* w = Window1::Construct();
    const QList<QObject*> controls = w->Controls();
    ASSERT_EQ(controls.size(), 29);
    QList<QWidget*> seen;
    for (int i = 0; i < 29; ++i) {
        const ControlCase& c = kControls[i];
        QObject* o = controls[i];
        SCOPED_TRACE(c.name);
        EXPECT_EQ(o->objectName(), c.name);
        EXPECT_TRUE(o->inherits(c.kind)) << o->metaObject()->className();
        if (auto* widget = qobject_cast<QWidget*>(o)) {
            EXPECT_EQ(widget->parentWidget(), w->centralWidget());
            EXPECT_EQ(widget->geometry(), c.geometry);
            EXPECT_EQ(widget->toolTip(), c.toolTip);
            EXPECT_TRUE(widget->isEnabled());
            seen << widget;
        } else {
            EXPECT_TRUE(c.geometry.isNull());
        }
        if (c.text) {
            EXPECT_EQ(TextOf(o), c.text);
        }
    }
    // The content's own children come in the same order, so each control stands over the ones before it.
    QList<QWidget*> children;
    for (QObject* child : w->centralWidget()->children())
        if (auto* widget = qobject_cast<QWidget*>(child)) children << widget;
    EXPECT_EQ(children, seen);
}

TEST_F(Window1Test, ContentIsExactly555By488AndCannotBeResized) {
    Window1* w = Window1::Construct();
    EXPECT_EQ(w->windowTitle(), "BrindleX");
    EXPECT_EQ(w->centralWidget()->size(), QSize(555, 488));
    EXPECT_EQ(w->minimumSize(), w->maximumSize());
    EXPECT_FALSE(w->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(w->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(w->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(w->FileMenu()->text(), "File");
    EXPECT_EQ(w->FileManage()->text(), "Manage");
}

TEST_F(Window1Test, TextsAre11PixelsWithTheirStylesAndBevelButtonsTakeNoFocus) {
    Window1* w = Window1::Construct();
    for (QObject* o : w->Controls()) {
        auto* widget = qobject_cast<QWidget*>(o);
        if (!widget) continue;
        SCOPED_TRACE(widget->objectName().toStdString());
        EXPECT_EQ(widget->font().pixelSize(), 11);
        if (auto* b = qobject_cast<QPushButton*>(widget)) {
            EXPECT_EQ(b->focusPolicy(), Qt::NoFocus);
            EXPECT_FALSE(b->isCheckable());
            EXPECT_EQ(b->menu(), nullptr);
        }
    }
    EXPECT_TRUE(w->stTitle->font().bold());
    for (QLabel* link : {w->stURL, w->stHomepage}) {
        EXPECT_TRUE(link->font().underline());
        EXPECT_EQ(link->palette().color(link->foregroundRole()), QColor(0, 0, 255));
        EXPECT_TRUE(link->wordWrap());
    }
    EXPECT_TRUE(w->stTime->alignment() & Qt::AlignRight);
    EXPECT_EQ(w->Canvas2->focusPolicy(), Qt::NoFocus);
}

TEST_F(Window1Test, NoCaptionIsCutOff) {
    Window1* w = Window1::Construct();
    // Every text a fixed box shows at some time, against the room the style leaves for it.
    auto room = [](QWidget* box) {
        if (auto* b = qobject_cast<QPushButton*>(box)) {
            QStyleOptionButton option;
            option.initFrom(b);
            option.text = b->text();
            return b->style()->subElementRect(QStyle::SE_PushButtonContents, &option, b);
        }
        return box->contentsRect();
    };
    const QList<QPair<QWidget*, QString>> fits = {
        {w->StaticText1, "Number of Sources:"}, {w->StaticText2, "Total Articles:"},
        {w->StaticText3, "Total Unread:"},      {w->stNumSources, "99999"},
        {w->stNumArticles, "99999"},           {w->stNumUnread, "99999"},
        {w->stCounter, "Ready.  Click Update to check."},
        {w->stCounter, "Next check in 3600 seconds..."},
        {w->bbMarkRead, "Mark Read"},          {w->bbMarkUnread, "Mark Unread"},
        {w->bbMarkAllRead, "Mark All Read"},   {w->bbReset, "Reset"},
        {w->bbResetAll, "Reset All"},          {w->bbUpdate, "Update Now"},
        {w->bbSafari, "Start Safari"},         {w->bbSafari, "Stop Safari"},
        {w->bbShow, "Show All"},               {w->bbShow, "Show Subscribed"},
        {w->bbPrefs, "Preferences"},           {w->BevelButton1, "Quit"},
    };
    for (const auto& [box, text] : fits) {
        const QFontMetrics m(box->font());
        const QRect r = room(box);
        EXPECT_LE(m.horizontalAdvance(text), r.width()) << text.toStdString();
        EXPECT_LE(m.height(), r.height()) << text.toStdString();
    }
}

TEST_F(Window1Test, ListHasSixColumnsOfWhichThreeCanNeverBeSeen) {
    FixtureDb db;
    Window1* w = OpenMainWindow(db);
    QTreeWidget* list = w->ListBox1;
    EXPECT_EQ(list->columnCount(), 6);
    EXPECT_FALSE(list->rootIsDecorated());
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(list->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(list->columnWidth(0), 300);
    EXPECT_EQ(list->columnWidth(1), 100);
    EXPECT_EQ(list->columnWidth(2), 100);
    QHeaderView* header = list->header();
    EXPECT_FALSE(header->sectionsMovable());
    EXPECT_FALSE(header->stretchLastSection());
    for (int c = 0; c < 6; ++c) EXPECT_EQ(header->sectionResizeMode(c), QHeaderView::Fixed) << c;
    for (int c = 3; c < 6; ++c) {
        EXPECT_TRUE(list->isColumnHidden(c)) << c;
        EXPECT_TRUE(header->isSectionHidden(c)) << c;
        EXPECT_EQ(header->sectionSize(c), 0) << c;
    }
    const QTreeWidgetItem* headings = list->headerItem();
    EXPECT_EQ(headings->text(0), "Source Feed");
    EXPECT_EQ(headings->text(1), "Article Count");
    EXPECT_EQ(headings->text(2), "Unread Count");
    for (int c = 3; c < 6; ++c) EXPECT_EQ(headings->text(c), "") << c;
    const int row = RowOf(w, "7");
    ASSERT_GE(row, 0);
    EXPECT_EQ(w->Cell(row, 4), "1");
    EXPECT_EQ(w->Cell(row, 5), "http://www.tuaw.com/media/TUAW_LOGO.JPG");
}

TEST_F(Window1Test, OpenFillsTheSubscribedFeedsAndTotalsInManualMode) {
    FixtureDb db;
    Window1* w = OpenMainWindow(db);
    // Grouped by title: the untitled feed 8 first, then by title as the engine sorts it.
    EXPECT_EQ(Titles(w), (QStringList{"", "Apple Hot News", "Slashdot", "The Unofficial Apple Weblog (TUAW)",
                                       "iTunes 25 New Releases"}));
    EXPECT_EQ(w->stNumSources->text(), "4");   // count(title) skips the untitled feed
    EXPECT_EQ(w->stNumArticles->text(), "5");
    EXPECT_EQ(w->stNumUnread->text(), "3");
    EXPECT_EQ(w->NumUnread, 3);
    EXPECT_EQ(w->ListIndex(), 0);
    const int apple = RowOf(w, "1");
    EXPECT_EQ(w->Cell(apple, 1), "2");
    EXPECT_EQ(w->Cell(apple, 2), "1");
    const int untitled = RowOf(w, "8");
    EXPECT_EQ(w->Cell(untitled, 1), "0");
    EXPECT_EQ(w->Cell(untitled, 2), "");

    EXPECT_FALSE(app().showall);
    EXPECT_FALSE(w->Timer1->isActive());
    EXPECT_TRUE(w->Timer2->isActive());
    EXPECT_EQ(w->Timer1->interval(), 1000);
    EXPECT_EQ(w->Timer2->interval(), 1000);
    EXPECT_EQ(w->stCounter->text(), "Ready.  Click Update to check.");
    EXPECT_TRUE(w->ProgressWheel1->isHidden());
    EXPECT_EQ(w->PercentageIcon.size(), QSize(128, 128));
    EXPECT_TRUE(w->PercentageIcon.hasAlphaChannel());
    EXPECT_EQ(app().Counter, 0);
    EXPECT_TRUE(seams.messages.isEmpty());
}

TEST_F(Window1Test, OpenInAutomaticModeRunsTimer1AndShowsTheCountdown) {
    FixtureDb db;
    Window1* w = OpenMainWindow(db, true, 30);
    EXPECT_TRUE(w->Timer1->isActive());
    EXPECT_FALSE(w->Timer2->isActive());
    EXPECT_EQ(w->stCounter->text(), "Next check in 30 seconds...");
}

TEST_F(Window1Test, ShowAllTwiceTogglesAndRestores) {
    FixtureDb db;
    Window1* w = OpenMainWindow(db);
    const QStringList subscribed = Titles(w);
    w->ListBox1->setCurrentItem(w->ListBox1->topLevelItem(3));

    w->bbShow->click();
    EXPECT_TRUE(app().showall);
    EXPECT_EQ(w->bbShow->text(), "Show Subscribed");
    EXPECT_EQ(w->bbShow->toolTip(), "Show only subscribed feeds");
    EXPECT_EQ(w->ListCount(), 6);   // the two Slashdot feeds share a row
    EXPECT_EQ(w->stNumSources->text(), "6");
    EXPECT_EQ(w->stNumArticles->text(), "6");   // the orphan article counts
    EXPECT_EQ(w->stNumUnread->text(), "4");
    EXPECT_EQ(w->NumUnread, 4);
    EXPECT_EQ(w->ListIndex(), 0);
    EXPECT_EQ(w->Cell(RowOf(w, "6"), 4), "0");

    w->bbShow->click();
    EXPECT_FALSE(app().showall);
    EXPECT_EQ(w->bbShow->text(), "Show All");
    EXPECT_EQ(w->bbShow->toolTip(), "Show all feeds");
    EXPECT_EQ(Titles(w), subscribed);
    EXPECT_EQ(w->stNumSources->text(), "4");
    EXPECT_EQ(w->stNumArticles->text(), "5");
    EXPECT_EQ(w->stNumUnread->text(), "3");
    EXPECT_EQ(w->ListIndex(), 0);
}

TEST_F(Window1Test, EmptyDatabaseShowsNoRowsZeroTotalsAndLeavesTheDetailPane) {
    FixtureDb db;
    db.exec("DELETE FROM Articles; DELETE FROM Sources;");
    Window1* w = OpenMainWindow(db);
    EXPECT_EQ(w->ListCount(), 0);
    EXPECT_EQ(w->ListIndex(), -1);
    EXPECT_EQ(w->stNumSources->text(), "0");
    EXPECT_EQ(w->stNumArticles->text(), "0");
    EXPECT_EQ(w->stNumUnread->text(), "");
    EXPECT_EQ(w->NumUnread, 0);
    EXPECT_EQ(w->stTitle->text(), "stTitle");
    EXPECT_TRUE(seams.messages.isEmpty());
}

TEST_F(Window1Test, DatabaseWithoutTheTablesGivesAnEmptyListWithoutFailing) {
    FixtureDb db(false);
    Window1* w = OpenMainWindow(db);
    EXPECT_EQ(w->ListCount(), 0);
    EXPECT_EQ(w->NumUnread, 0);
}

// Files that cannot be opened as a database: each refresh beeps, then says so, once; nothing is created.
struct BadFile {
    const char* label;
    const char* name;
    const char* content;   // nullptr: the file does not exist
};

void PrintTo(const BadFile& c, std::ostream* os) { *os << c.label; }

class UnopenableDatabase : public Window1Test, public ::testing::WithParamInterface<BadFile> {};

TEST_P(UnopenableDatabase, EveryRefreshBeepsAndShowsTheMessageOnce) {
    const BadFile c = GetParam();
    const QString path = GuiEnvironment::Home() + "/" + c.name;
    if (c.content) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.content);
    }
    Window1* w = OpenMainWindow(path);
    EXPECT_EQ(seams.events, (QStringList{"beep", "message The database couldn't be opened."}));
    EXPECT_EQ(w->ListCount(), 0);
    EXPECT_EQ(w->stNumSources->text(), "99999");
    EXPECT_TRUE(w->Timer2->isActive());   // the opening went on to choose the mode

    w->GetDBInfo(app().showall);
    EXPECT_EQ(seams.beeps, 2);
    EXPECT_EQ(seams.messages.size(), 2);
    if (c.content) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), QByteArray(c.content));
    } else {
        EXPECT_FALSE(QFile::exists(path));
    }
}

INSTANTIATE_TEST_SUITE_P(Files, UnopenableDatabase,
                         ::testing::Values(BadFile{"missing", "Missing/Database3", nullptr},
                                           BadFile{"empty", "Empty3", ""},
                                           BadFile{"not a database", "Text3",
                                                   "This is a text file, not a database.\n"}),
                         [](const auto& info) { return std::string(info.param.name).substr(0, 4); });

TEST_F(Window1Test, ARefreshAfterTheDatabaseVanishedEmptiesTheListAndKeepsTheTotals) {
    FixtureDb db;
    Window1* w = OpenMainWindow(db);
    app().dbFileName = GuiEnvironment::Home() + "/gone/Database3";
    w->GetDBInfo(false);
    EXPECT_EQ(seams.messages.size(), 1);
    EXPECT_EQ(w->ListCount(), 0);
    EXPECT_EQ(w->stNumSources->text(), "4");
}

TEST_F(Window1Test, RowsAreDrawnInTheirColours) {
    FixtureDb db;
    Window1* w = OpenMainWindow(db);
    w->bbShow->click();
    w->ListBox1->clearSelection();
    w->ListBox1->setCurrentItem(nullptr);
    const QImage shot = w->ListBox1->viewport()->grab().toImage();
    // Whether a row shows any pixel of the colour (text is antialiased, so the exact colour appears in stems).
    auto rowHas = [&](const QString& id, QColor colour) {
        const QRect r = w->ListBox1->visualItemRect(w->ListBox1->topLevelItem(RowOf(w, id)));
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = 0; x < 300; ++x)
                if (shot.pixelColor(x, y) == colour) return true;
        return false;
    };
    const QColor grey(100, 100, 100), red(255, 0, 0);
    EXPECT_TRUE(rowHas("6", grey)) << "unsubscribed";
    EXPECT_FALSE(rowHas("6", red));
    EXPECT_TRUE(rowHas("1", red)) << "unread articles";
    EXPECT_FALSE(rowHas("8", red)) << "no articles";
    EXPECT_FALSE(rowHas("8", grey));
}

TEST_F(Window1Test, UpdateTimeShowsShortDateAndLongTimeWithoutZone) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    FixtureDb db;
    Window1* w = OpenMainWindow(db);
    EXPECT_EQ(w->stTime->text(), "");
    seams.clock = QDateTime(QDate(2005, 6, 28), QTime(14, 5, 9));
    w->UpdateTime();
    EXPECT_EQ(w->stTime->text(), "6/28/05 2:05:09 PM");
    EXPECT_EQ(w->CurrentTime, seams.clock);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    w->UpdateTime();
    EXPECT_EQ(w->stTime->text(), "28.06.05 14:05:09");
    QLocale::setDefault(QLocale::system());
}

TEST_F(Window1Test, SelectingBeyondTheListLeavesNoSelection) {
    FixtureDb db;
    Window1* w = OpenMainWindow(db);
    w->SetListIndex(2);
    EXPECT_EQ(w->ListIndex(), 2);
    w->SetListIndex(99);
    EXPECT_EQ(w->ListIndex(), -1);
    w->SetListIndex(-1);
    EXPECT_EQ(w->ListIndex(), -1);
    EXPECT_EQ(w->Cell(99, 0), "");
}

TEST_F(Window1Test, ClosingStopsTheTimersAndTheNextReferenceBuildsANewWindow) {
    FixtureDb db;
    Window1* w = OpenMainWindow(db, true);
    QPointer<Window1> old(w);
    w->close();
    EXPECT_FALSE(Window1::Alive(old));
    if (old) {
        EXPECT_FALSE(old->Timer1->isActive());
        EXPECT_FALSE(old->Timer2->isActive());
    }
    EXPECT_EQ(Window1::instance(false), nullptr);
    Window1* again = Window1::instance();
    EXPECT_NE(again, nullptr);
    EXPECT_TRUE(Window1::Alive(QPointer<Window1>(again)));
}

}  // namespace
