#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for the icon fetch tests. It answers while the test spins
// the event loop (WaitUntil in MainWindowTest.h); each connection gets one response and is closed.
//
//   TestHttpServer http;
//   http.Serve("/icon.png", {200, "image/png", EncodedImage(80, 60, Qt::red, "PNG")});
//   http.Serve("/slow.png", {200, "image/png", bytes, /*delayMs=*/2000});
//   http.Redirect("/old.png", "/icon.png");
//   QUrl u = http.Url("/icon.png");          // http://127.0.0.1:<port>/icon.png
//   EXPECT_EQ(http.Requests(), QStringList{"/icon.png"});
// Paths not served answer 404.

#include <QByteArray>
#include <QColor>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <QTcpServer>
#include <QUrl>

struct TestResponse {
    TestResponse() = default;
    TestResponse(int status_, QByteArray contentType_, QByteArray body_, int delayMs_ = 0)
        : status(status_), contentType(std::move(contentType_)), body(std::move(body_)), delayMs(delayMs_) {}

    int status = 200;
    QByteArray contentType = "application/octet-stream";
    QByteArray body;
    int delayMs = 0;           ///< the server waits this long before it answers
    QByteArray location;       ///< Location header, for redirects
    bool contentLength = true; ///< false: no Content-Length, the body ends when the connection closes
};

class TestHttpServer : public QObject {
    Q_OBJECT
public:
    TestHttpServer();
    ~TestHttpServer() override;

    void Serve(const QString& path, const TestResponse& response);
    void Redirect(const QString& path, const QString& location, int status = 302);
    QUrl Url(const QString& path) const;
    quint16 Port() const;
    QStringList Requests() const { return requests_; }   ///< request paths in order of arrival

private:
    void OnConnection();
    QTcpServer server_;
    QHash<QString, TestResponse> routes_;
    QStringList requests_;
};

/// A picture of one colour, encoded as "PNG", "JPEG" or "GIF" (Qt writes no GIF, so that one is made here).
QByteArray EncodedImage(int width, int height, const QColor& colour, const char* format);
