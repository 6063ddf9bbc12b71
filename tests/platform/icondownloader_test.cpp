#include "platform/IconDownloader.h"

#include <QTemporaryDir>

#include "tests/support/gui/GuiTest.h"
#include "tests/support/gui/TestHttpServer.h"

namespace {

class IconDownloaderTest : public GuiTest {
protected:
    IconDownloaderTest() {
        QObject::connect(&downloader, &IconDownloader::DownloadComplete, &downloader,
                         [this](const QString& url, int status, const QString& f) {
                             done << QStringLiteral("%1 %2 %3").arg(status).arg(url, f);
                         });
    }
    // Fetches the URL and returns the completion it reports: "<status> <url> <file>".
    QString Fetch(const QUrl& url) {
        const auto before = done.size();
        downloader.Get(url, file);
        return WaitUntil([&] { return done.size() > before; }) ? done.back() : QStringLiteral("no completion");
    }

    TestHttpServer http;
    QTemporaryDir dir;
    QString file = dir.filePath("icons/tmp.png");   // the folder does not exist yet
    IconDownloader downloader;
    QStringList done;
};

TEST_F(IconDownloaderTest, WritesABodyUpToTheLimitAndLeavesTheFileAloneOnANotFound) {
    const QByteArray png = EncodedImage(16, 16, Qt::red, "PNG");
    downloader.SetSizeLimit(png.size());
    http.Serve("/i.png", {200, "image/png", png});
    EXPECT_EQ(Fetch(http.Url("/i.png")), "200 " + http.Url("/i.png").toString() + " " + file);
    EXPECT_EQ(ReadFile(file), png);
    EXPECT_EQ(Fetch(http.Url("/missing.png")).left(4), "404 ");
    EXPECT_EQ(ReadFile(file), png);
}

// No complete response: status 0 and no file.
TEST_F(IconDownloaderTest, RedirectLoopOversizedBodyTimeOutAndRefusedConnectionGiveNoResponse) {
    http.Redirect("/a.png", "/b.png");
    http.Redirect("/b.png", "/a.png");
    TestResponse undeclared{200, "image/png", QByteArray(5000, 'x')};
    undeclared.contentLength = false;
    http.Serve("/undeclared.png", undeclared);
    http.Serve("/declared.png", {200, "image/png", QByteArray(5000, 'x')});
    http.Serve("/slow.png", {200, "image/png", "slow", 3000});
    downloader.SetSizeLimit(1000);
    downloader.SetTimeout(300);
    const quint16 closedPort = TestHttpServer().Port();
    for (const QUrl& url : {http.Url("/a.png"), http.Url("/undeclared.png"), http.Url("/declared.png"), http.Url("/slow.png"),
                            QUrl(QStringLiteral("http://127.0.0.1:%1/x.png").arg(closedPort))}) {
        EXPECT_EQ(Fetch(url).left(2), "0 ") << url.toString().toStdString();
        EXPECT_FALSE(downloader.IsBusy());
    }
    EXPECT_FALSE(QFile::exists(file));
}


}  // namespace
