#include "platform/IconDownloader.h"

#include <QNetworkReply>
#include <QTemporaryDir>

#include "tests/support/gui/GuiTest.h"
#include "tests/support/gui/TestHttpServer.h"

namespace {

class IconDownloaderTest : public GuiTest {
protected:
    IconDownloaderTest() {
        QObject::connect(&downloader, &IconDownloader::DownloadComplete, &downloader,
                         [this](const QString& url, int status, const QString& f) {
                             done << QStringLiteral("%1 %2 %3%4").arg(status).arg(url, f, downloader.IsBusy() ? " busy" : "");
                         });
    }
    // Fetches the URL and returns the completion it reports: "<status> <url> <file>".
    QString Fetch(const QString& path) {
        const auto before = done.size();
        downloader.Get(http.Url(path), file);
        return WaitUntil([&] { return done.size() > before; }) ? done.back() : QStringLiteral("no completion");
    }
    QString Reported(int status, const QString& path) { return QStringLiteral("%1 %2 %3").arg(status).arg(http.Url(path).toString(), file); }

    TestHttpServer http;
    QTemporaryDir dir;
    QString file = dir.filePath("icons/tmp.png");   // the folder does not exist yet
    IconDownloader downloader;
    QStringList done;
};

// A 2xx response's body, up to the limit, goes into the file; any other status leaves it alone, and so does a
// file that cannot be written (reported as no response).
TEST_F(IconDownloaderTest, WritesTheBodyOfA2xxResponseUpToTheLimitAndOnlyThat) {
    const QByteArray png = EncodedImage(16, 16, Qt::red, "PNG");
    downloader.SetSizeLimit(png.size() + 3);
    for (int status : {200, 299, 300, 404}) {
        const QString path = QStringLiteral("/%1.png").arg(status);
        http.Serve(path, {status, "image/png", png + QByteArray::number(status)});
        EXPECT_EQ(Fetch(path), Reported(status, path));
        EXPECT_EQ(ReadFile(file), png + (status < 300 ? QByteArray::number(status) : "299"));
    }
    QFile(dir.filePath("plain")).open(QIODevice::WriteOnly);
    file = dir.filePath("plain/tmp.png");
    EXPECT_EQ(Fetch("/200.png"), Reported(0, "/200.png"));
}

// No complete response: status 0 and no file. Past the limits: 2 MiB unless set otherwise, and ten redirects.
// (A refused connection ends as the redirect chain does, in a network error, with no HTTP status to clear.)
TEST_F(IconDownloaderTest, TooManyRedirectsTooBigOrTooSlowGiveNoResponse) {
    const int mib2 = 2 * 1024 * 1024;
    http.Serve("/2mib.png", {200, "image/png", QByteArray(mib2, 'x')});
    http.Serve("/over.png", {200, "image/png", QByteArray(mib2 + 1, 'x')});
    for (int n = 0; n < 11; ++n) http.Redirect(QStringLiteral("/r%1").arg(n), QStringLiteral("/r%1").arg(n + 1));
    http.Serve("/r11", {200, "image/png", "icon"});
    EXPECT_EQ(Fetch("/2mib.png"), Reported(200, "/2mib.png"));
    EXPECT_EQ(Fetch("/r1"), Reported(200, "/r1"));
    QFile::remove(file);
    EXPECT_EQ(Fetch("/over.png"), Reported(0, "/over.png"));
    TestResponse undeclared{200, "image/png", QByteArray(1001, 'x')};
    undeclared.contentLength = false;
    http.Serve("/undeclared.png", undeclared);
    http.Serve("/declared.png", {200, "image/png", QByteArray(1001, 'x')});
    http.Serve("/slow.png", {200, "image/png", "slow", 3000});
    downloader.SetSizeLimit(1000);
    downloader.SetTimeout(300);
    for (const char* path : {"/r0", "/undeclared.png", "/declared.png", "/slow.png"})
        EXPECT_EQ(Fetch(path), Reported(0, path));
    EXPECT_FALSE(QFile::exists(file));
}

// A fetch replaced by another, or cancelled, is dropped: its connection is closed and nothing is reported for it;
// a finished one is reported once. Neither leaves a time-out or a reply pending.
TEST_F(IconDownloaderTest, AReplacedOrCancelledFetchIsDroppedAndAFinishedOneReportedOnce) {
    http.Serve("/never.png", {200, "image/png", "", -1});
    http.Serve("/i.png", {200, "image/png", "icon"});
    const auto pending = [&] { return downloader.findChild<QTimer*>()->isActive() || downloader.findChild<QNetworkReply*>(); };
    downloader.Get(http.Url("/never.png"), file);
    ASSERT_TRUE(WaitUntil([&] { return http.Requests().size() == 1; }));
    EXPECT_EQ(Fetch("/i.png"), Reported(200, "/i.png"));
    EXPECT_FALSE(pending());
    downloader.Get(http.Url("/never.png"), file);
    ASSERT_TRUE(WaitUntil([&] { return http.Requests().size() == 3; }));
    downloader.Cancel();
    EXPECT_TRUE(WaitUntil([&] { return http.Abandoned().size() == 2 && !pending(); }));
    EXPECT_EQ(done, QStringList(Reported(200, "/i.png")));
}

}  // namespace
