#include "ui/main/Window1.h"

#include <QAction>
#include <QHeaderView>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTreeWidget>
#include <fstream>

#include "tests/support/gui/GuiTest.h"
#include "ui/main/IconCanvas.h"

namespace {

// Name, kind, place (null where it is not seen), caption or initial text (nullptr where none), tooltip.
struct ControlCase { const char *name, *kind; QRect geometry; const char *text, *toolTip = nullptr; };

const ControlCase kControls[] = {
    {"ListBox1", "QTreeWidget", {14, 48, 521, 206}, nullptr},
    {"StaticText1", "QLabel", {14, 259, 111, 20}, "Number of Sources:"},
    {"StaticText2", "QLabel", {232, 259, 79, 20}, "Total Articles:"},
    {"StaticText3", "QLabel", {408, 259, 75, 20}, "Total Unread:"},
    {"stNumSources", "QLabel", {129, 259, 39, 20}, "99999"},
    {"stNumUnread", "QLabel", {495, 259, 39, 20}, "99999"},
    {"stNumArticles", "QLabel", {313, 259, 39, 20}, "99999"},
    {"ProgressWheel1", "BusyIndicator", {329, 464, 16, 16}, nullptr},
    {"TCPSocket1", "IconDownloader", {}, nullptr},
    {"Canvas2", "IconCanvas", {397, 296, 122, 120}, nullptr},
    {"stTitle", "QLabel", {20, 296, 340, 20}, "stTitle"},
    {"stURL", "QLabel", {20, 318, 343, 40}, "stURl"},
    {"stHomepage", "QLabel", {20, 362, 343, 40}, "stHomepage"},
    {"GroupBox1", "QGroupBox", {14, 284, 520, 144}, ""},
    {"stHTTPDate", "QLabel", {20, 396, 238, 20}, "stHTTPDate"},
    {"Timer1", "QTimer", {}, nullptr},
    {"stCounter", "QLabel", {14, 464, 310, 18}, "Ready.  Click Update to check."},
    {"bbMarkRead", "QPushButton", {14, 14, 100, 22}, "Mark Read", "Mark selected feed read"},
    {"bbMarkUnread", "QPushButton", {119, 14, 100, 22}, "Mark Unread", "Mark selected feed unread"},
    {"bbMarkAllRead", "QPushButton", {224, 14, 100, 22}, "Mark All Read", "Mark all feeds read"},
    {"bbReset", "QPushButton", {329, 14, 100, 22}, "Reset", "Reset selected feed"},
    {"bbResetAll", "QPushButton", {434, 14, 100, 22}, "Reset All", "Reset all feeds"},
    {"Timer2", "QTimer", {}, nullptr},
    {"bbUpdate", "QPushButton", {119, 438, 100, 22}, "Update Now", "Update feeds now"},
    {"bbSafari", "QPushButton", {14, 438, 100, 22}, "Start Safari", "Sart or stop Safari"},
    {"bbShow", "QPushButton", {224, 438, 100, 22}, "Show All", "Show all feeds"},
    {"bbPrefs", "QPushButton", {329, 438, 100, 22}, "Preferences", "Set application preferences"},
    {"BevelButton1", "QPushButton", {434, 438, 100, 22}, "Quit", "Quit BrindleX"},
    {"stTime", "QLabel", {357, 464, 178, 18}, ""},
};

QStringList Rows(Window1* w) {   // every row's six cells, the hidden ones too
    QStringList rows;
    for (int r = 0; r < w->ListCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < 6; ++c) cells << w->Cell(r, c);
        rows << cells.join(" | ");
    }
    return rows;
}

QStringList Totals(Window1* w) {
    return {w->stNumSources->text(), w->stNumArticles->text(), w->stNumUnread->text(), QString::number(w->NumUnread)};
}

const QStringList kSubscribedRows = {   // grouped by title: the untitled feed 8 first, then as the engine sorts
    " | 0 |  | 8 | 1 | ", "Apple Hot News | 2 | 1 | 1 | 1 | ",
    "Slashdot | 1 | 0 | 3 | 1 | http://slashdot.org/favicon.ico",
    "The Unofficial Apple Weblog (TUAW) | 1 | 1 | 7 | 1 | http://www.tuaw.com/media/TUAW_LOGO.JPG",
    "iTunes 25 New Releases | 1 | 1 | 2 | 1 | /images/rss/badge.gif"};

class Window1Test : public GuiTest {
protected:
    FixtureDb db;
};

// Whether the text fits the room the style leaves in the fixed box: no caption may be cut off.
void ExpectFits(QWidget* box, const QString& text) {
    QRect room = box->contentsRect();
    if (auto* b = qobject_cast<QPushButton*>(box)) {
        QStyleOptionButton option;
        option.initFrom(b);
        option.text = text;
        room = b->style()->subElementRect(QStyle::SE_PushButtonContents, &option, b);
    }
    const QFontMetrics m(box->font());
    EXPECT_LE(m.horizontalAdvance(text), room.width()) << text.toStdString();
    EXPECT_LE(m.height(), room.height()) << text.toStdString();
}

TEST_F(Window1Test, ControlsInCreationOrderWithNameKindPlaceTextTooltipAndFont) {
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
        auto* widget = qobject_cast<QWidget*>(o);
        if (!widget) continue;
        seen << widget;
        EXPECT_EQ(widget->parentWidget(), w->centralWidget());
        EXPECT_EQ(widget->geometry(), c.geometry);
        EXPECT_EQ(widget->toolTip(), QString(c.toolTip));
        EXPECT_TRUE(widget->isEnabled());
        EXPECT_EQ(widget->font().pixelSize(), 11);
        if (c.text) {
            EXPECT_EQ(o->property(o->inherits("QGroupBox") ? "title" : "text").toString(), c.text);
            ExpectFits(widget, c.text);
        }
        auto* b = qobject_cast<QPushButton*>(widget);   // bevel buttons: plain, never focused
        EXPECT_TRUE(!b || (b->focusPolicy() == Qt::NoFocus && !b->isCheckable() && !b->menu()));
    }
    ExpectFits(w->stCounter, "Next check in 3600 seconds...");
    ExpectFits(w->bbSafari, "Stop Safari");
    ExpectFits(w->bbShow, "Show Subscribed");
    // The content's own children come in the same order, so each control stands over the ones before it.
    QList<QWidget*> children;
    for (QObject* child : w->centralWidget()->children())
        if (auto* widget = qobject_cast<QWidget*>(child)) children << widget;
    EXPECT_EQ(children, seen);

    EXPECT_TRUE(w->stTitle->font().bold());
    for (QLabel* link : {w->stURL, w->stHomepage})
        EXPECT_TRUE(link->font().underline() && link->wordWrap() &&
                    link->palette().color(link->foregroundRole()) == Qt::blue);
    EXPECT_TRUE(w->stTime->alignment() & Qt::AlignRight);
    EXPECT_EQ(w->Canvas2->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(w->windowTitle(), "BrindleX");
    EXPECT_EQ(w->centralWidget()->size(), QSize(555, 488));
    EXPECT_EQ(w->minimumSize(), w->maximumSize());
    EXPECT_EQ(w->windowFlags() & (Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint),
              Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(w->FileMenu()->text() + " > " + w->FileManage()->text(), "File > Manage");
}

TEST_F(Window1Test, OpenFillsTheListAndTotalsInManualModeOrCountsDownInAutomatic) {
    Window1* w = OpenMainWindow(db);
    // Six fixed columns, of which the last three can never be seen but are read like the others.
    QTreeWidget* list = w->ListBox1;
    QHeaderView* header = list->header();
    EXPECT_FALSE(list->rootIsDecorated() || header->sectionsMovable() || header->stretchLastSection());
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(list->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    ASSERT_EQ(list->columnCount(), 6);
    const char* headings[] = {"Source Feed", "Article Count", "Unread Count", "", "", ""};
    const int widths[] = {300, 100, 100, 0, 0, 0};
    for (int c = 0; c < 6; ++c) {
        EXPECT_EQ(header->sectionResizeMode(c), QHeaderView::Fixed) << c;
        EXPECT_EQ(list->headerItem()->text(c), headings[c]);
        EXPECT_EQ(header->sectionSize(c), widths[c]) << c;
        EXPECT_EQ(list->isColumnHidden(c), c >= 3) << c;
    }
    EXPECT_EQ(Rows(w), kSubscribedRows);
    EXPECT_EQ(Totals(w), (QStringList{"4", "5", "3", "3"}));   // count(title) skips the untitled feed
    EXPECT_EQ(w->ListIndex(), 0);
    EXPECT_TRUE(!w->Timer1->isActive() && w->Timer2->isActive());
    EXPECT_TRUE(w->Timer1->interval() == 1000 && w->Timer2->interval() == 1000);
    EXPECT_EQ(w->stCounter->text(), "Ready.  Click Update to check.");
    EXPECT_TRUE(w->ProgressWheel1->isHidden());
    EXPECT_TRUE(w->PercentageIcon.size() == QSize(128, 128) && w->PercentageIcon.hasAlphaChannel());
    EXPECT_TRUE(seams.messages.isEmpty());
    w->SetListIndex(99);
    EXPECT_EQ(w->ListIndex(), -1);
    EXPECT_EQ(w->Cell(99, 0), "");

    w = OpenMainWindow(db, true, 30);
    EXPECT_TRUE(w->Timer1->isActive() && !w->Timer2->isActive());
    EXPECT_EQ(w->stCounter->text(), "Next check in 30 seconds...");
    db.exec("DELETE FROM Articles; DELETE FROM Sources;");
    w = OpenMainWindow(db);
    EXPECT_EQ(w->ListIndex(), -1);
    EXPECT_EQ(Totals(w), (QStringList{"0", "0", "", "0"}));
    EXPECT_TRUE(seams.messages.isEmpty());
}

TEST_F(Window1Test, ShowAllTwiceTogglesAndRestoresAndRowsHaveTheirColours) {
    Window1* w = OpenMainWindow(db);
    w->SetListIndex(3);
    w->bbShow->click();
    EXPECT_TRUE(app().showall);
    EXPECT_EQ(w->bbShow->text() + " / " + w->bbShow->toolTip(), "Show Subscribed / Show only subscribed feeds");
    EXPECT_EQ(Rows(w).size(), 6);   // the two Slashdot feeds share a row
    EXPECT_EQ(Rows(w)[4], "Uploads from jdoe | 0 |  | 6 | 0 | http://static.flickr.com/20/buddyicons/12345678@N00.jpg");
    EXPECT_EQ(Totals(w), (QStringList{"6", "6", "4", "4"}));   // the orphan article counts
    EXPECT_EQ(w->ListIndex(), 0);

    // The rows in their colours: whether a row shows any pixel of one (antialiased text keeps it in the stems).
    w->ListBox1->setCurrentItem(nullptr);
    w->ListBox1->clearSelection();
    const QImage shot = w->ListBox1->viewport()->grab().toImage();
    auto rowHas = [&](int row, QColor colour) {
        const QRect r = w->ListBox1->visualItemRect(w->ListBox1->topLevelItem(row));
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = 0; x < 300; ++x)
                if (shot.pixelColor(x, y) == colour) return true;
        return false;
    };
    const QColor grey(100, 100, 100), red(255, 0, 0);
    EXPECT_TRUE(rowHas(4, grey) && !rowHas(4, red)) << "unsubscribed";
    EXPECT_TRUE(rowHas(1, red)) << "unread articles";
    EXPECT_FALSE(rowHas(0, red) || rowHas(0, grey)) << "no articles";

    w->SetListIndex(3);
    w->bbShow->click();
    EXPECT_FALSE(app().showall);
    EXPECT_EQ(w->bbShow->text() + " / " + w->bbShow->toolTip(), "Show All / Show all feeds");
    EXPECT_EQ(Rows(w), kSubscribedRows);
    EXPECT_EQ(Totals(w), (QStringList{"4", "5", "3", "3"}));
    EXPECT_EQ(w->ListIndex(), 0);
}

TEST_F(Window1Test, UnopenableDatabaseBeepsAndSaysSoOncePerRefreshAndIsLeftAlone) {
    const struct { const char* name; const char* content; } cases[] = {   // content nullptr: missing
        {"Missing/Database3", nullptr}, {"Empty3", ""}, {"Text3", "This is a text file, not a database.\n"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = GuiEnvironment::Home() + "/" + c.name;
        if (c.content) std::ofstream(path.toStdString()) << c.content;
        seams.events.clear();
        Window1* w = OpenMainWindow(path);
        EXPECT_EQ(seams.events, (QStringList{"beep", "message The database couldn't be opened."}));
        EXPECT_TRUE(w->ListCount() == 0 && w->stNumSources->text() == "99999");
        EXPECT_TRUE(w->Timer2->isActive());   // the opening went on to choose the mode
        w->GetDBInfo(app().showall);
        EXPECT_EQ(seams.events.size(), 4);
        EXPECT_EQ(ReadFile(path), QByteArray(c.content ? c.content : "(none)"));
    }
    Window1* w = OpenMainWindow(db);   // vanished after the opening: the list empties, the totals stay
    app().dbFileName = GuiEnvironment::Home() + "/gone/Database3";
    w->GetDBInfo(false);
    EXPECT_EQ(w->ListCount(), 0);
    EXPECT_EQ(w->stNumSources->text(), "4");
    EXPECT_EQ(seams.events.size(), 6);
}

TEST_F(Window1Test, UpdateTimeShowsShortDateAndLongTimeWithoutZone) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
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

}  // namespace
