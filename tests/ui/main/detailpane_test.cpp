// The detail pane: texts of the selected feed as plain text, the icon fetched from a local server and fitted
// into the box (only in the formats icons come in), and the two links (only to web addresses).
#include "platform/Folders.h"
#include "platform/IconDownloader.h"
#include "tests/support/gui/GuiTest.h"
#include "tests/support/gui/TestHttpServer.h"
#include "ui/main/DetailPane.h"
#include "ui/main/IconCanvas.h"
#include "ui/main/LinkText.h"
#include "app/FeedDatabase.h"

namespace {

bool Reddish(QColor c) { return c.red() > 150 && c.green() < 90 && c.blue() < 90; }   // JPEG shifts it a little

QStringList Pane(Window1* w) {
    return {w->stTitle->text(), w->stURL->text(), w->stHomepage->text(), w->stHTTPDate->text()};
}

class DetailPaneTest : public GuiTest {
protected:
    // Gives feed `id` the icon URL first, when there is one.
    Window1* Open(const QString& iconUrl = {}, int id = 1) {
        if (!iconUrl.isNull())
            db.exec(QStringLiteral("UPDATE Sources SET iconURL='%1' WHERE id=%2").arg(iconUrl).arg(id).toStdString());
        Window1* w = OpenMainWindow(db);
        QObject::connect(w->TCPSocket1, &IconDownloader::DownloadComplete, w, [this] { ++completions; });
        return w;
    }
    bool WaitForIcon(Window1* w) { return WaitUntil([w] { return !w->Canvas2->Icon().isNull(); }); }

    FixtureDb db;
    TestHttpServer http;
    int completions = 0;
};

TEST_F(DetailPaneTest, PaneShowsTheSelectedFeedAndKeepsItsInitialTextsWhileNoneIs) {
    Window1* w = Open();
    SelectFeed(w, "1");   // its texts: the kept picture of the main window
    SelectFeed(w, "8");   // never fetched: NULL columns read as empty text
    EXPECT_EQ(Pane(w), (QStringList{"", "http://www.macosxhints.com/backend/geeklog.rdf", "", ""}));
    // Feed data is text, never markup.
    ASSERT_TRUE(db.exec("UPDATE Sources SET title='<img src=\"http://127.0.0.1:9/x.png\"><b>x</b>' WHERE id=1"));
    w->bbUpdate_Action();
    ASSERT_TRUE(Settle());
    SelectFeed(w, "1");
    EXPECT_EQ(w->stTitle->text(), "<img src=\"http://127.0.0.1:9/x.png\"><b>x</b>");
    for (QLabel* label : std::initializer_list<QLabel*>{w->stTitle, w->stURL, w->stHomepage, w->stHTTPDate})
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
    for (QLabel* link : std::initializer_list<QLabel*>{w->stURL, w->stHomepage})
        EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor) << "a link shows itself as one";
    db.exec("DELETE FROM Sources");
    EXPECT_EQ(Pane(Open()), (QStringList{"stTitle", "stURl", "stHomepage", "stHTTPDate"}));
}

TEST_F(DetailPaneTest, GetImageSizeFitsIntoTheBoxWithoutEnlarging) {
    const int cases[][4] = {{80, 60, 80, 60},    {200, 100, 120, 60}, {100, 200, 60, 120},  {121, 50, 120, 50},
                            {1000, 3, 120, 1},   {300, 300, 120, 120}, {120, 120, 120, 120}, {0, 0, 0, 0}};
    for (const auto& c : cases) {
        const QImage pic = c[0] ? QImage(c[0], c[1], QImage::Format_RGB32) : QImage();
        EXPECT_EQ(DetailPane::GetImageSize(pic), (QVector<std::int32_t>{0, c[2], c[3]})) << c[0] << " x " << c[1];
    }
}

// Drawn centred where the table of sizes puts it. The file in the cache folder is chosen by the URL's text; the
// body is decoded by its content, whatever the name says.
TEST_F(DetailPaneTest, IconsAreFetchedIntoTheFileTheUrlNamesAndDrawnCentredAndKept) {
    const struct { const char* path; const char* format; int width, height; QRect drawn; const char* file; } cases[] = {
        {"/icon.png", "PNG", 80, 60, {20, 30, 80, 60}, "tmp.png"},
        {"/icon.gif", "GIF", 200, 100, {0, 30, 120, 60}, "tmp.gif"},
        {"/icon.jpg", "JPEG", 100, 200, {30, 0, 60, 120}, "tmp.jpg"},
        {"/LOGO.JPG", "PNG", 10, 10, {55, 55, 10, 10}, "tmp.jpg"},
        {"/a.gif/b.jpg", "GIF", 10, 10, {55, 55, 10, 10}, "tmp.jpg"},
        {"/pngs/icon", "JPEG", 10, 10, {55, 55, 10, 10}, "tmp.png"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        QDir(Folders::CacheFolder()).removeRecursively();
        http.Serve(c.path, {200, "image/" + QByteArray(c.format).toLower(),
                            EncodedImage(c.width, c.height, QColor(200, 30, 30), c.format)});
        Window1* w = Open(http.Url(c.path).toString());
        SelectFeed(w, "1");
        ASSERT_TRUE(WaitForIcon(w));
        EXPECT_EQ(w->Canvas2->IconRect(), c.drawn);
        EXPECT_EQ(w->Canvas2->Icon().size(), c.drawn.size()) << "kept at the size it is drawn";
        for (const char* name : {"tmp.jpg", "tmp.gif", "tmp.png"})
            EXPECT_EQ(QFile::exists(Folders::CacheFolder() + "/" + name), QString(name) == c.file) << name;
        const QImage shot = OnScreen(w->Canvas2);   // on the screen once it has come, inside its place only
        EXPECT_TRUE(Reddish(shot.pixelColor(c.drawn.center())) && Reddish(shot.pixelColor(c.drawn.topLeft() + QPoint(1, 1))));
        EXPECT_TRUE(c.drawn.left() == 0 || !Reddish(shot.pixelColor(c.drawn.left() - 1, c.drawn.center().y())));
    }
}

TEST_F(DetailPaneTest, TheOpeningFetchesTheFirstRowsIconOnceAndASelectionWithoutOneClearsTheBox) {
    http.Serve("/icon.png", {200, "image/png", EncodedImage(10, 10, Qt::blue, "PNG")});
    db.exec("UPDATE Sources SET iconURL='/badge.gif', homePage='' WHERE id=7");   // relative, nothing to resolve it
    db.exec("UPDATE Sources SET iconURL='" + http.Url("/icon").toString().toStdString() + "' WHERE id=2");
    Window1* w = Open(http.Url("/icon.png").toString(), 8);   // row 0
    ASSERT_TRUE(WaitForIcon(w));
    EXPECT_EQ(http.Requests(), QStringList{"/icon.png"});
    // Icon URL "", relative without a home page, ".ico", no known kind of file.
    for (const char* id : {"1", "7", "3", "2"}) {
        SelectFeed(w, id);
        EXPECT_TRUE(w->Canvas2->Icon().isNull()) << id;
        EXPECT_FALSE(w->TCPSocket1->IsBusy()) << id;
        SelectFeed(w, "8");
        ASSERT_TRUE(WaitForIcon(w));
    }
    EXPECT_EQ(http.Requests().filter("/icon.png").size(), 5);
}

TEST_F(DetailPaneTest, SiteRelativeIconUrlIsResolvedAgainstTheHomePageAndRedirectsAreFollowed) {
    http.Redirect("/images/rss/badge.gif", "/moved.gif", 301);
    http.Serve("/moved.gif", {200, "image/gif", EncodedImage(40, 20, Qt::green, "GIF")});
    db.exec("UPDATE Sources SET homePage='" + http.Url("/site/index.html").toString().toStdString() + "' WHERE id=1");
    Window1* w = Open("/images/rss/badge.gif");
    SelectFeed(w, "1");
    ASSERT_TRUE(WaitForIcon(w));
    EXPECT_EQ(http.Requests(), (QStringList{"/images/rss/badge.gif", "/moved.gif"}));
    EXPECT_EQ(w->Canvas2->IconRect(), QRect(40, 50, 40, 20));
}

// Nothing to draw, or a picture larger than any icon (its size read from the header, never decoded): a blank box.
// (A failed answer brings no body at all: IconDownloader's own tests.)
TEST_F(DetailPaneTest, UndecodableAnswersLeaveTheBoxBlank) {
    const struct { const char* label; TestResponse response; QRect drawn; } cases[] = {
        {"html", {200, "text/html", "<html><body>Not an image</body></html>"}, {}},
        {"no icon format", {200, "image/png", EncodedImage(10, 10, Qt::red, "PPM")}, {}},
        {"too wide", {200, "image/png", EncodedImage(4097, 1, Qt::red, "PNG")}, {}},
        {"too tall", {200, "image/gif", EncodedImage(2, 4097, Qt::red, "GIF")}, {}},
        {"the largest there is", {200, "image/png", EncodedImage(4096, 2, Qt::red, "PNG")}, {0, 59, 120, 1}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        http.Serve("/icon.png", c.response);
        Window1* w = Open(http.Url("/icon.png").toString());
        completions = 0;
        SelectFeed(w, "1");
        ASSERT_TRUE(WaitUntil([&] { return completions == 1; }));
        ASSERT_TRUE(Settle());   // decoded, or refused
        EXPECT_EQ(w->Canvas2->Icon().isNull(), c.drawn.isNull());
        EXPECT_EQ(w->Canvas2->IconRect(), c.drawn);
    }
}

// The old feed's download is given up (the server sees its request dropped), so its icon can never come.
TEST_F(DetailPaneTest, ASelectionChangeDuringAFetchNeverDrawsTheOldIcon) {
    http.Serve("/slow.png", {200, "image/png", EncodedImage(50, 50, Qt::red, "PNG"), -1});
    http.Serve("/fast.gif", {200, "image/gif", EncodedImage(30, 30, Qt::blue, "GIF")});
    db.exec("UPDATE Sources SET iconURL='" + http.Url("/fast.gif").toString().toStdString() + "' WHERE id=7");
    Window1* w = Open(http.Url("/slow.png").toString());
    SelectFeed(w, "1");
    ASSERT_TRUE(WaitUntil([&] { return http.Requests().contains("/slow.png"); }));
    SelectFeed(w, "7");
    ASSERT_TRUE(WaitForIcon(w));
    EXPECT_TRUE(WaitUntil([&] { return http.Abandoned() == QStringList{"/slow.png"}; }));
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(w->Canvas2->IconRect(), QRect(45, 45, 30, 30));
}

TEST_F(DetailPaneTest, ClickingTheLinksOpensWebAddressesOnlyAndBeepsAtAnythingElse) {
    Window1* w = Open();
    SelectFeed(w, "1");
    // The group box around the pane must not take the clicks meant for the links.
    for (QLabel* link : {w->stURL, w->stHomepage})
        EXPECT_EQ(w->centralWidget()->childAt(link->geometry().topLeft() + QPoint(5, 5)), link);
    w->stHomepage->setText("HTTPS://example.com/feed");   // the scheme in any case
    Mouse(w->stURL);
    Mouse(w->stHomepage);
    EXPECT_EQ(seams.events, (QStringList{"open http://www.apple.com/main/rss/hotnews/hotnews.rss",
                                         "open https://example.com/feed"}));
    for (const char* text : {"stURl", "", "file:///etc/passwd", "ftp://example.com/feed.xml", "https://"}) {
        w->stURL->setText(text);
        seams.events.clear();
        Mouse(w->stURL);
        EXPECT_EQ(seams.events, QStringList{"beep"}) << text;
    }
}

}  // namespace
