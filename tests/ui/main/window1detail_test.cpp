// The detail pane: texts of the selected feed, the icon fetched from a local server and fitted into the box,
// and the two links.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "app/App.h"
#include "platform/Folders.h"
#include "platform/IconDownloader.h"
#include "tests/support/FixtureDb.h"
#include "tests/support/gui/FakeScript.h"
#include "tests/support/gui/GuiTest.h"
#include "tests/support/gui/TestHttpServer.h"
#include "ui/main/IconCanvas.h"
#include "ui/main/Window1.h"

namespace {

int RowOf(Window1* w, const QString& id) {
    for (int r = 0; r < w->ListCount(); ++r)
        if (w->Cell(r, 3) == id) return r;
    return -1;
}

bool Near(QColor a, QColor b, int tolerance = 40) {
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

class Window1DetailTest : public GuiTest {
protected:
    // Feed 1 (Apple Hot News) gets the icon URL; its home page points at the local server.
    Window1* OpenWithIcon(const QString& iconUrl) {
        db.exec("UPDATE Sources SET iconURL='" + iconUrl.toStdString() + "', homePage='" +
                http.Url("/site/index.html").toString().toStdString() + "' WHERE id=1");
        return Open();
    }
    Window1* Open() {
        Window1* w = OpenMainWindow(db);
        w->Timer2->stop();   // no ticks while the tests spin the event loop
        QObject::connect(w->TCPSocket1, &IconDownloader::DownloadComplete, w, [this] { ++completions; });
        return w;
    }
    void Select(Window1* w, const QString& id) { w->SetListIndex(RowOf(w, id)); }
    bool WaitForIcon(Window1* w) { return WaitUntil([w] { return !w->Canvas2->Icon().isNull(); }); }
    bool WaitForCompletion(int n = 1) { return WaitUntil([&] { return completions >= n; }); }
    QString CacheFile(const char* name) { return Folders::CacheFolder() + "/" + name; }

    FakeScript script{"false"};
    FixtureDb db;
    TestHttpServer http;
    int completions = 0;
};

TEST_F(Window1DetailTest, SelectedRowFillsTheTextsFromTheFeedRecord) {
    Window1* w = Open();
    Select(w, "1");
    EXPECT_EQ(w->stTitle->text(), "Apple Hot News");
    EXPECT_EQ(w->stURL->text(), "http://www.apple.com/main/rss/hotnews/hotnews.rss");
    EXPECT_EQ(w->stHomepage->text(), "http://www.apple.com/hotnews/");
    EXPECT_EQ(w->stHTTPDate->text(), "Tue, 28 Jun 2005 02:15:00 GMT");
    Select(w, "8");   // never fetched: NULL columns read as empty text
    EXPECT_EQ(w->stTitle->text(), "");
    EXPECT_EQ(w->stURL->text(), "http://www.macosxhints.com/backend/geeklog.rdf");
    EXPECT_EQ(w->stHomepage->text(), "");
    EXPECT_EQ(w->stHTTPDate->text(), "");
}

TEST_F(Window1DetailTest, DetailLabelsKeepTheirInitialTextsUntilARowIsSelected) {
    db.exec("DELETE FROM Sources");
    Window1* w = Open();
    EXPECT_EQ(w->stTitle->text(), "stTitle");
    EXPECT_EQ(w->stURL->text(), "stURl");
    EXPECT_EQ(w->stHomepage->text(), "stHomepage");
    EXPECT_EQ(w->stHTTPDate->text(), "stHTTPDate");
}

struct SizeCase {
    int width, height;
    QRect drawn;
};

void PrintTo(const SizeCase& c, std::ostream* os) { *os << c.width << " x " << c.height; }

class GetImageSizeTest : public GuiTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(GetImageSizeTest, FitsIntoTheBoxWithoutEnlarging) {
    const SizeCase c = GetParam();
    Window1* w = Window1::Construct();
    const QVector<std::int32_t> size = w->GetImageSize(QImage(c.width, c.height, QImage::Format_RGB32));
    ASSERT_EQ(size.size(), 3);
    EXPECT_EQ(size[1], c.drawn.width()) << c.width << " x " << c.height;
    EXPECT_EQ(size[2], c.drawn.height()) << c.width << " x " << c.height;
}

INSTANTIATE_TEST_SUITE_P(Table, GetImageSizeTest,
                         ::testing::Values(SizeCase{80, 60, {20, 30, 80, 60}}, SizeCase{64, 64, {28, 28, 64, 64}},
                                           SizeCase{200, 100, {0, 30, 120, 60}},
                                           SizeCase{100, 200, {30, 0, 60, 120}},
                                           SizeCase{121, 50, {0, 35, 120, 50}}, SizeCase{1000, 3, {0, 59, 120, 1}},
                                           SizeCase{300, 300, {0, 0, 120, 120}},
                                           SizeCase{120, 120, {0, 0, 120, 120}}));

TEST_F(Window1DetailTest, GetImageSizeOfAnEmptyPictureIsZero) {
    Window1* w = Window1::Construct();
    const QVector<std::int32_t> size = w->GetImageSize(QImage());
    EXPECT_EQ(size[1], 0);
    EXPECT_EQ(size[2], 0);
}

// Each format from the local server, drawn centred where the table of sizes puts it.
struct FetchCase {
    const char* path;
    const char* format;
    const char* contentType;
    int width, height;
    const char* file;
    QRect drawn;
};

void PrintTo(const FetchCase& c, std::ostream* os) { *os << c.path; }

class IconFetch : public Window1DetailTest, public ::testing::WithParamInterface<FetchCase> {};

TEST_P(IconFetch, DrawsTheIconCentredAndKeepsIt) {
    const FetchCase c = GetParam();
    http.Serve(c.path, {200, c.contentType, EncodedImage(c.width, c.height, QColor(200, 30, 30), c.format)});
    Window1* w = OpenWithIcon(http.Url(c.path).toString());
    Select(w, "1");
    ASSERT_TRUE(WaitForIcon(w));
    EXPECT_EQ(w->Canvas2->IconRect(), c.drawn);
    EXPECT_TRUE(QFile::exists(CacheFile(c.file))) << c.file;

    // Drawn from the kept icon at every repaint, not once.
    for (int paint = 0; paint < 2; ++paint) {
        const QImage shot = w->Canvas2->grab().toImage();
        EXPECT_TRUE(Near(shot.pixelColor(c.drawn.center()), QColor(200, 30, 30)));
        EXPECT_TRUE(Near(shot.pixelColor(c.drawn.topLeft() + QPoint(1, 1)), QColor(200, 30, 30)));
        if (c.drawn.left() > 0) {
            EXPECT_FALSE(Near(shot.pixelColor(c.drawn.left() - 1, c.drawn.center().y()), QColor(200, 30, 30)));
        }
        if (c.drawn.top() > 0) {
            EXPECT_FALSE(Near(shot.pixelColor(c.drawn.center().x(), c.drawn.top() - 1), QColor(200, 30, 30)));
        }
        w->Canvas2->repaint();
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, IconFetch,
                         ::testing::Values(FetchCase{"/icon.png", "PNG", "image/png", 80, 60, "tmp.png", {20, 30, 80, 60}},
                                           FetchCase{"/icon.gif", "GIF", "image/gif", 200, 100, "tmp.gif", {0, 30, 120, 60}},
                                           FetchCase{"/icon.jpg", "JPEG", "image/jpeg", 100, 200, "tmp.jpg", {30, 0, 60, 120}}),
                         [](const auto& info) { return std::string(info.param.format); });

// Which temporary file a URL's text chooses, and URLs that are not fetched at all.
struct ChoiceCase {
    const char* path;
    const char* file;   // nullptr: no fetch
};

void PrintTo(const ChoiceCase& c, std::ostream* os) { *os << c.path; }

class TempFileChoice : public Window1DetailTest, public ::testing::WithParamInterface<ChoiceCase> {};

TEST_P(TempFileChoice, FollowsTheUrlText) {
    const ChoiceCase c = GetParam();
    http.Serve(c.path, {200, "image/png", EncodedImage(10, 10, Qt::blue, "PNG")});
    Window1* w = OpenWithIcon(http.Url(c.path).toString());
    Select(w, "1");
    if (!c.file) {
        EXPECT_FALSE(w->TCPSocket1->IsBusy());
        EXPECT_TRUE(http.Requests().isEmpty());
        return;
    }
    ASSERT_TRUE(WaitForIcon(w)) << "the body is decoded by its content, whatever the name says";
    for (const char* name : {"tmp.jpg", "tmp.gif", "tmp.png"})
        EXPECT_EQ(QFile::exists(CacheFile(name)), QString(name) == c.file) << name;
}

INSTANTIATE_TEST_SUITE_P(Urls, TempFileChoice,
                         ::testing::Values(ChoiceCase{"/LOGO.JPG", "tmp.jpg"}, ChoiceCase{"/a.gif/b.jpg", "tmp.jpg"},
                                           ChoiceCase{"/a.gif", "tmp.gif"}, ChoiceCase{"/pngs/icon", "tmp.png"},
                                           ChoiceCase{"/favicon.ico", nullptr}, ChoiceCase{"/icon", nullptr}));

TEST_F(Window1DetailTest, EmptyIconUrlFetchesNothingAndClearsTheBox) {
    http.Serve("/icon.png", {200, "image/png", EncodedImage(10, 10, Qt::blue, "PNG")});
    db.exec("UPDATE Sources SET iconURL='" + http.Url("/icon.png").toString().toStdString() + "' WHERE id=3");
    Window1* w = Open();
    Select(w, "3");
    ASSERT_TRUE(WaitForIcon(w));
    Select(w, "1");   // icon URL ""
    EXPECT_TRUE(w->Canvas2->Icon().isNull());
    EXPECT_FALSE(w->TCPSocket1->IsBusy());
}

TEST_F(Window1DetailTest, SiteRelativeIconUrlIsResolvedAgainstTheHomePage) {
    http.Serve("/images/rss/badge.gif", {200, "image/gif", EncodedImage(40, 20, Qt::green, "GIF")});
    Window1* w = OpenWithIcon("/images/rss/badge.gif");
    Select(w, "1");
    ASSERT_TRUE(WaitForIcon(w));
    EXPECT_EQ(http.Requests(), QStringList{"/images/rss/badge.gif"});
    EXPECT_EQ(w->Canvas2->IconRect(), QRect(40, 50, 40, 20));
}

TEST_F(Window1DetailTest, RelativeIconUrlWithoutAHomePageIsNotFetched) {
    db.exec("UPDATE Sources SET iconURL='/badge.gif', homePage='' WHERE id=1");
    Window1* w = Open();
    Select(w, "1");
    EXPECT_FALSE(w->TCPSocket1->IsBusy());
}

// Answers that leave the box blank: each completes, and nothing is drawn.
struct BlankCase {
    const char* label;
    TestResponse response;
    int timeoutMs;
    qint64 sizeLimit;
};

void PrintTo(const BlankCase& c, std::ostream* os) { *os << c.label; }

class BlankIcon : public Window1DetailTest, public ::testing::WithParamInterface<BlankCase> {};

TEST_P(BlankIcon, LeavesTheBoxBlank) {
    const BlankCase c = GetParam();
    http.Serve("/icon.png", c.response);
    Window1* w = OpenWithIcon(http.Url("/icon.png").toString());
    w->TCPSocket1->SetTimeout(c.timeoutMs);
    w->TCPSocket1->SetSizeLimit(c.sizeLimit);
    Select(w, "1");
    ASSERT_TRUE(WaitForCompletion()) << c.label;
    EXPECT_TRUE(w->Canvas2->Icon().isNull()) << c.label;
}

INSTANTIATE_TEST_SUITE_P(
    Answers, BlankIcon,
    ::testing::Values(
        BlankCase{"404", {404, "text/html", "<html>gone</html>"}, 5000, 1 << 20},
        BlankCase{"html", {200, "text/html", "<html><body>Not an image</body></html>"}, 5000, 1 << 20},
        BlankCase{"slow", {200, "image/png", EncodedImage(10, 10, Qt::red, "PNG"), 3000}, 150, 1 << 20},
        BlankCase{"big", {200, "image/png", EncodedImage(300, 300, Qt::red, "JPEG")}, 5000, 500},
        BlankCase{"server error", {500, "text/plain", "boom"}, 5000, 1 << 20}),
    [](const auto& info) { return std::string(info.param.label).substr(0, 4) == "serv" ? std::string("error")
                                                                                        : std::string(info.param.label); });

TEST_F(Window1DetailTest, RedirectIsFollowedToTheIcon) {
    http.Serve("/new.png", {200, "image/png", EncodedImage(64, 64, Qt::blue, "PNG")});
    http.Redirect("/old.png", "/new.png");
    Window1* w = OpenWithIcon(http.Url("/old.png").toString());
    Select(w, "1");
    ASSERT_TRUE(WaitForIcon(w));
    EXPECT_EQ(w->Canvas2->IconRect(), QRect(28, 28, 64, 64));
}

TEST_F(Window1DetailTest, ASelectionChangeDuringAFetchNeverDrawsTheOldIcon) {
    http.Serve("/slow.png", {200, "image/png", EncodedImage(50, 50, Qt::red, "PNG"), 300});
    http.Serve("/fast.gif", {200, "image/gif", EncodedImage(30, 30, Qt::blue, "GIF")});
    db.exec("UPDATE Sources SET iconURL='" + http.Url("/fast.gif").toString().toStdString() + "' WHERE id=7");
    Window1* w = OpenWithIcon(http.Url("/slow.png").toString());
    Select(w, "1");
    ASSERT_TRUE(WaitUntil([&] { return http.Requests().contains("/slow.png"); }));
    Select(w, "7");
    ASSERT_TRUE(WaitForIcon(w));
    WaitUntil([] { return false; }, 600);   // past the moment the slow answer is sent
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(w->Canvas2->IconRect(), QRect(45, 45, 30, 30));

    // And to a feed without an icon: the running fetch is dropped too.
    Select(w, "1");
    ASSERT_TRUE(WaitUntil([&] { return http.Requests().count("/slow.png") == 2; }));
    Select(w, "3");   // .ico: not fetched
    WaitUntil([] { return false; }, 600);
    EXPECT_TRUE(w->Canvas2->Icon().isNull());
    EXPECT_EQ(completions, 1);
}

TEST_F(Window1DetailTest, ARefreshThatSelectsTheSameRowAgainLeavesTheIcon) {
    http.Serve("/icon.png", {200, "image/png", EncodedImage(10, 10, Qt::blue, "PNG")});
    db.exec("UPDATE Sources SET iconURL='" + http.Url("/icon.png").toString().toStdString() + "' WHERE id=8");
    Window1* w = Open();   // row 0 is feed 8
    ASSERT_TRUE(WaitForIcon(w));
    EXPECT_EQ(http.Requests().size(), 1);
}

void Press(QWidget* widget) {
    const QPointF at(5, 5);
    QMouseEvent press(QEvent::MouseButtonPress, at, widget->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &press);
}

TEST_F(Window1DetailTest, ClickingTheLinksOpensWhatTheyShow) {
    Window1* w = Open();
    Select(w, "1");
    // The group box around the pane must not take the clicks meant for the links.
    QWidget* content = w->centralWidget();
    EXPECT_EQ(content->childAt(w->stURL->geometry().topLeft() + QPoint(5, 5)), w->stURL);
    EXPECT_EQ(content->childAt(w->stHomepage->geometry().topLeft() + QPoint(5, 5)), w->stHomepage);

    Press(w->stURL);
    Press(w->stHomepage);
    EXPECT_EQ(seams.openedUrls, (QList<QUrl>{QUrl("http://www.apple.com/main/rss/hotnews/hotnews.rss"),
                                             QUrl("http://www.apple.com/hotnews/")}));
    EXPECT_FALSE(w->stURL_MouseDown(0, 0));
}

TEST_F(Window1DetailTest, PlaceholderAndEmptyTextsAreNotOpened) {
    db.exec("DELETE FROM Sources WHERE id<>8");
    Window1* w = Open();
    Press(w->stHomepage);   // feed 8 has no home page
    w->stURL->setText("stURl");
    Press(w->stURL);
    EXPECT_TRUE(seams.openedUrls.isEmpty());
}

}  // namespace
