// The main window: its controls, the list and totals after the opening, Show All, a database that cannot
// be opened, and how it looks with the clock.
#include "ui/main/Window1.h"

#include <QAction>
#include <QBrush>
#include <QGroupBox>

#include "tests/support/gui/GuiTest.h"
#include "tests/support/gui/TestHttpServer.h"
#include "ui/main/BusyIndicator.h"
#include "ui/main/IconCanvas.h"
#include "ui/main/FeedListModel.h"
#include "ui/main/LinkText.h"

namespace {

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

const QStringList kSubscribedRows = {   // one a feed, by title: the untitled feed 8 first, "iTunes" after "The"
    " | 0 |  | 8 | 1 | ", "Apple Hot News | 2 | 1 | 1 | 1 | ",
    "Slashdot | 1 | 0 | 3 | 1 | http://slashdot.org/favicon.ico",
    "The Unofficial Apple Weblog (TUAW) | 1 | 1 | 7 | 1 | http://www.tuaw.com/media/TUAW_LOGO.JPG",
    "iTunes 25 New Releases | 1 | 1 | 2 | 1 | /images/rss/badge.gif"};

class Window1Test : public GuiTest {
protected:
    FixtureDb db;
};

// A window of fixed size with its File menu (how it looks at the opening is kept as a picture, below); the list
// and the totals read at the opening, Show All, a file that vanishes after the opening, an empty database.
TEST_F(Window1Test, AFixedWindowWithItsFileMenuListAndTotalsAndShowAll) {
    Window1* w = OpenMainWindow(db);
    EXPECT_EQ(w->minimumSize(), w->maximumSize());
    EXPECT_EQ(w->windowFlags() & (Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint),
              Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(w->FileMenu()->text() + " > " + w->FileManage()->text(), "File > Manage");
    EXPECT_EQ(Rows(w), kSubscribedRows);
    EXPECT_EQ(Totals(w), (QStringList{"5", "5", "3", "3"}));   // the untitled feed counts
    EXPECT_EQ(w->ListIndex(), 0);
    EXPECT_TRUE(seams.messages.isEmpty());
    w->SetListIndex(99);
    EXPECT_EQ(w->ListIndex(), -1);

    // Show All toggles the list and its caption; every cell of a row takes the row's colour.
    w->SetListIndex(3);
    int resets = 0;   // the old rows announced before they go, as views and proxy models rely on
    QObject::connect(&w->List(), &QAbstractItemModel::modelAboutToBeReset, [&] { ++resets; });
    w->bbShow->click();
    ASSERT_TRUE(Settle());
    EXPECT_TRUE(app().showall && resets == 1) << resets;
    EXPECT_EQ(w->bbShow->text() + " / " + w->bbShow->toolTip(), "Show Subscribed / Show only subscribed feeds");
    EXPECT_EQ(Rows(w).size(), 7);   // the two Slashdot feeds are two rows, each with its own key
    EXPECT_EQ(Rows(w)[3], "Slashdot | 0 |  | 4 | 0 | http://images.slashdot.org/topics/topicslashdot.png");
    EXPECT_EQ(Totals(w), (QStringList{"7", "6", "4", "4"}));   // the orphan article counts
    EXPECT_EQ(w->ListIndex(), 0);

    // An unsubscribed feed's row grey, every cell of it (red for unread and the list's own: the kept picture).
    EXPECT_EQ(w->List().data(w->List().index(3, 2), Qt::ForegroundRole).value<QBrush>().color(), QColor(100, 100, 100));

    w->bbShow->click();
    ASSERT_TRUE(Settle());
    EXPECT_EQ(w->bbShow->text() + " / " + w->bbShow->toolTip(), "Show All / Show all feeds");
    EXPECT_EQ(Rows(w), kSubscribedRows);

    app().dbFileName = GuiEnvironment::Home() + "/gone/Database3";   // vanished: the list empties, the totals stay
    w->GetDBInfo(false);
    ASSERT_TRUE(Settle());
    EXPECT_EQ(w->ListCount(), 0);
    EXPECT_EQ(w->stNumSources->text(), "5");

    ASSERT_TRUE(db.exec("DELETE FROM Articles; DELETE FROM Sources;"));
    const auto reset = app().BeginExclusive();   // a reset under way: a window opened meanwhile waits for it too
    w = OpenMainWindow(db);
    EXPECT_FALSE(w->bbMarkRead->isEnabled() || w->bbSafari->isEnabled());
    EXPECT_EQ(w->ListIndex(), -1);
    EXPECT_EQ(Totals(w), (QStringList{"0", "0", "", "0"}));
}

// A file that is no database, or none: a beep and a message at every refresh, and the file left as it was.
TEST_F(Window1Test, UnopenableDatabaseBeepsAndSaysSoOncePerRefreshAndIsLeftAlone) {
    const struct { const char* name; const char* content; } cases[] = {   // content nullptr: missing
        {"Missing/Database3", nullptr}, {"Empty3", ""}, {"Text3", "This is a text file, not a database.\n"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = GuiEnvironment::Home() + "/" + c.name;
        if (c.content) WriteFile(path, c.content);
        seams.events.clear();
        Window1* w = OpenMainWindow(path);
        EXPECT_EQ(seams.events, (QStringList{"beep", "message The database couldn't be opened."}));
        EXPECT_TRUE(w->ListCount() == 0 && w->stNumSources->text() == "99999");
        w->GetDBInfo(app().showall);
        ASSERT_TRUE(Settle());
        EXPECT_EQ(seams.events.size(), 4);
        EXPECT_EQ(ReadFile(path), QByteArray(c.content ? c.content : "(none)"));
    }
}

// What the user sees of the opened window, a row selected and its icon drawn, and of the turning wheel: kept as
// pictures (tests/ui/golden), so a control moved by a pixel, a text in another size or a colour lost shows. The
// clock shows the short date and the long time, without the zone.
TEST_F(Window1Test, TheWindowAndItsClockLookAsKept) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    TestHttpServer http;
    http.Serve("/icon.png", {200, "image/png", EncodedImage(80, 60, QColor(200, 30, 30), "PNG")});
    db.exec("UPDATE Sources SET iconURL='" + http.Url("/icon.png").toString().toStdString() + "', URL=URL||"
            "'?format=rss2&edition=international&utm_source=brindlex' WHERE id=1");   // long enough to wrap
    Window1* w = OpenMainWindow(db);
    EXPECT_EQ(w->stTime->text(), "");
    seams.clock = QDateTime(QDate(2005, 6, 28), QTime(14, 5, 9));
    w->UpdateTime();   // "6/28/05 2:05:09 PM" in the picture
    EXPECT_EQ(w->CurrentTime, seams.clock);
    w->SetListIndex(1);
    ASSERT_TRUE(WaitUntil([w] { return !w->Canvas2->Icon().isNull(); }));
    EXPECT_TRUE(LooksAsKept(OnScreen(w), "main-window"));
    QLocale::setDefault(QLocale(QLocale::Finnish, QLocale::Finland));   // the zone, "t", at an odd place
    w->UpdateTime();
    EXPECT_EQ(w->stTime->text(), "28.6.2005 14.05.09");
    QPalette palette = w->ListBox1->palette();   // the strip right of the columns in the selected cells' colour
    for (const auto group : {QPalette::Active, QPalette::Inactive})
        palette.setColor(group, QPalette::Highlight, QColor(group * 90, 40, 40));
    w->ListBox1->setPalette(palette);
    const QImage list = w->ListBox1->viewport()->grab().toImage();
    const QRect cell = w->ListBox1->visualRect(w->ListBox1->model()->index(1, 2));
    EXPECT_EQ(list.pixelColor(list.width() - 1, cell.center().y()), list.pixelColor(cell.right() - 1, cell.center().y()));
    const auto wheel = [w] {   // drawn now: the turn it has reached, whatever has been painted yet
        QImage picture(w->ProgressWheel1->size(), QImage::Format_ARGB32);
        picture.fill(Qt::transparent);
        w->ProgressWheel1->render(&picture);
        return picture;
    };
    w->ProgressWheel1->show();
    const QImage still = wheel();
    EXPECT_TRUE(LooksAsKept(still, "busy-wheel"));
    EXPECT_TRUE(WaitUntil([&] { return wheel() != still; })) << "it turns while shown";
    EXPECT_FALSE((w->ProgressWheel1->hide(), static_cast<BusyIndicator*>(w->ProgressWheel1)->IsSpinning())) << "and stops once hidden";
    QLocale::setDefault(QLocale::system());
}

}  // namespace
