#include "platform/IconDownloader.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "tests/support/gui/GuiTest.h"
#include "tests/support/gui/TestHttpServer.h"

namespace {

struct Completion {
    QString url;
    int status;
    QString file;
};

class IconDownloaderTest : public GuiTest {
protected:
    IconDownloaderTest() {
        QObject::connect(&downloader, &IconDownloader::DownloadComplete, &downloader,
                         [this](const QString& url, int status, const QString& file) {
                             done.push_back({url, status, file});
                         });
    }
    bool WaitForCompletion(int count = 1) {
        return WaitUntil([&] { return static_cast<int>(done.size()) >= count; });
    }
    QByteArray ReadFile(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    TestHttpServer http;
    QTemporaryDir dir;
    QString file = dir.filePath("icons/tmp.png");   // the folder does not exist yet
    IconDownloader downloader;
    std::vector<Completion> done;
};

TEST_F(IconDownloaderTest, WritesTheBodyIntoTheFileAndReportsStatus200) {
    const QByteArray png = EncodedImage(16, 16, Qt::red, "PNG");
    http.Serve("/i.png", {200, "image/png", png});
    downloader.Get(http.Url("/i.png"), file);
    ASSERT_TRUE(WaitForCompletion());
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].status, 200);
    EXPECT_EQ(done[0].url, http.Url("/i.png").toString());
    EXPECT_EQ(done[0].file, file);
    EXPECT_EQ(ReadFile(file), png);
    EXPECT_FALSE(downloader.IsBusy());
}

TEST_F(IconDownloaderTest, NotFoundReportsTheStatusAndLeavesAnEarlierFileAlone) {
    http.Serve("/i.png", {200, "image/png", "first"});
    downloader.Get(http.Url("/i.png"), file);
    ASSERT_TRUE(WaitForCompletion());
    downloader.Get(http.Url("/missing.png"), file);
    ASSERT_TRUE(WaitForCompletion(2));
    EXPECT_EQ(done[1].status, 404);
    EXPECT_EQ(ReadFile(file), "first");
}

TEST_F(IconDownloaderTest, FollowsRedirects) {
    http.Serve("/new.png", {200, "image/png", "moved body"});
    http.Redirect("/old.png", "/new.png", 301);
    downloader.Get(http.Url("/old.png"), file);
    ASSERT_TRUE(WaitForCompletion());
    EXPECT_EQ(done[0].status, 200);
    EXPECT_EQ(ReadFile(file), "moved body");
    EXPECT_EQ(http.Requests(), (QStringList{"/old.png", "/new.png"}));
}

TEST_F(IconDownloaderTest, RedirectLoopEndsWithoutAResponse) {
    http.Redirect("/a.png", "/b.png");
    http.Redirect("/b.png", "/a.png");
    downloader.Get(http.Url("/a.png"), file);
    ASSERT_TRUE(WaitForCompletion());
    EXPECT_EQ(done[0].status, 0);
    EXPECT_FALSE(QFile::exists(file));
}

TEST_F(IconDownloaderTest, SlowerThanTheTimeOutIsGivenUp) {
    downloader.SetTimeout(150);
    http.Serve("/slow.png", {200, "image/png", "late", 5000});
    downloader.Get(http.Url("/slow.png"), file);
    ASSERT_TRUE(WaitForCompletion());
    EXPECT_EQ(done[0].status, 0);
    EXPECT_FALSE(downloader.IsBusy());
    EXPECT_FALSE(QFile::exists(file));
}

TEST_F(IconDownloaderTest, BodiesOverTheSizeLimitAreRefusedWithOrWithoutContentLength) {
    downloader.SetSizeLimit(1000);
    TestResponse big{200, "image/png", QByteArray(5000, 'x')};
    http.Serve("/declared.png", big);
    big.contentLength = false;
    http.Serve("/undeclared.png", big);
    downloader.Get(http.Url("/declared.png"), file);
    ASSERT_TRUE(WaitForCompletion(1));
    downloader.Get(http.Url("/undeclared.png"), file);
    ASSERT_TRUE(WaitForCompletion(2));
    EXPECT_EQ(done[0].status, 0);
    EXPECT_EQ(done[1].status, 0);
    EXPECT_FALSE(QFile::exists(file));
}

TEST_F(IconDownloaderTest, ABodyJustUnderTheLimitArrives) {
    downloader.SetSizeLimit(1000);
    http.Serve("/fits.png", {200, "image/png", QByteArray(1000, 'x')});
    downloader.Get(http.Url("/fits.png"), file);
    ASSERT_TRUE(WaitForCompletion());
    EXPECT_EQ(done[0].status, 200);
    EXPECT_EQ(ReadFile(file).size(), 1000);
}

TEST_F(IconDownloaderTest, ANewGetCancelsTheRunningOneWithoutASignal) {
    http.Serve("/slow.png", {200, "image/png", "slow", 300});
    http.Serve("/fast.png", {200, "image/png", "fast"});
    downloader.Get(http.Url("/slow.png"), file);
    downloader.Get(http.Url("/fast.png"), file);
    ASSERT_TRUE(WaitForCompletion());
    WaitUntil([] { return false; }, 500);   // long enough for the slow answer to have come
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].url, http.Url("/fast.png").toString());
    EXPECT_EQ(ReadFile(file), "fast");
}

TEST_F(IconDownloaderTest, CancelDropsTheFetch) {
    http.Serve("/slow.png", {200, "image/png", "slow", 200});
    downloader.Get(http.Url("/slow.png"), file);
    downloader.Cancel();
    EXPECT_FALSE(downloader.IsBusy());
    WaitUntil([] { return false; }, 400);
    EXPECT_TRUE(done.empty());
}

TEST_F(IconDownloaderTest, RefusedConnectionReportsNoResponse) {
    quint16 port;
    {
        TestHttpServer closed;
        port = closed.Port();
    }
    downloader.Get(QUrl(QStringLiteral("http://127.0.0.1:%1/x.png").arg(port)), file);
    ASSERT_TRUE(WaitForCompletion());
    EXPECT_EQ(done[0].status, 0);
}

}  // namespace
