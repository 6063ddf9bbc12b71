#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for the icon fetch tests. It answers while the test spins the event
// loop (WaitUntil); each connection gets one response and is closed. Paths not served answer 404.
//   http.Serve("/icon.png", {200, "image/png", EncodedImage(80, 60, Qt::red, "PNG"), /*delayMs=*/0});
//   http.Redirect("/old.png", "/icon.png");
#include <QByteArray>
#include <QColor>
#include <QHash>
#include <QStringList>
#include <QTcpServer>
#include <QUrl>

struct TestResponse {
    TestResponse(int s = 200, QByteArray type = "application/octet-stream", QByteArray b = {}, int delay = 0)
        : status(s), contentType(std::move(type)), body(std::move(b)), delayMs(delay) {}
    int status;
    QByteArray contentType, body;
    int delayMs;                ///< the server waits this long before it answers (-1: never)
    QByteArray location;        ///< Location header, for redirects
    bool contentLength = true;  ///< false: no Content-Length, the body ends when the connection closes
};

class TestHttpServer : public QObject {
public:
    TestHttpServer();
    void Serve(const QString& path, const TestResponse& response) { routes_[path] = response; }
    void Redirect(const QString& path, const QString& location, int status = 302) {
        routes_[path] = {status, "text/html", "<html>moved</html>"};
        routes_[path].location = location.toUtf8();
    }
    QUrl Url(const QString& path) const { return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(Port()).arg(path)); }
    quint16 Port() const { return server_.serverPort(); }
    QStringList Requests() const { return requests_; }   ///< request paths in order of arrival
    /// Requests whose client closed the connection before the answer (a download given up).
    QStringList Abandoned() const { return abandoned_; }

private:
    void OnConnection();
    QTcpServer server_;
    QHash<QString, TestResponse> routes_;
    QStringList requests_, abandoned_;
};

/// A picture of one colour, encoded as "PNG", "JPEG" or "GIF" (Qt writes no GIF, so that one is made here).
QByteArray EncodedImage(int width, int height, const QColor& colour, const char* format);
