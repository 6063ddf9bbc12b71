#include "tests/support/gui/TestHttpServer.h"

#include <QBuffer>
#include <QImage>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <memory>

TestHttpServer::TestHttpServer() {
    server_.listen(QHostAddress::LocalHost, 0);
    connect(&server_, &QTcpServer::newConnection, this, &TestHttpServer::OnConnection);
}

TestHttpServer::~TestHttpServer() { server_.close(); }

void TestHttpServer::Serve(const QString& path, const TestResponse& response) { routes_[path] = response; }

void TestHttpServer::Redirect(const QString& path, const QString& location, int status) {
    TestResponse r;
    r.status = status;
    r.contentType = "text/html";
    r.body = "<html>moved</html>";
    r.location = location.toUtf8();
    routes_[path] = r;
}

QUrl TestHttpServer::Url(const QString& path) const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(Port()).arg(path));
}

quint16 TestHttpServer::Port() const { return server_.serverPort(); }

static QByteArray ReasonPhrase(int status) {
    switch (status) {
    case 200: return "OK";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
    }
}

void TestHttpServer::OnConnection() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
            buffer->append(socket->readAll());
            if (!buffer->contains("\r\n\r\n") || socket->property("answered").toBool()) return;
            socket->setProperty("answered", true);
            const QList<QByteArray> requestLine = buffer->left(buffer->indexOf("\r\n")).split(' ');
            const QString path = requestLine.size() > 1 ? QString::fromUtf8(requestLine[1]) : QString();
            requests_ << path;
            TestResponse r;
            if (routes_.contains(path)) {
                r = routes_.value(path);
            } else {
                r.status = 404;
                r.contentType = "text/html";
                r.body = "<html>not here</html>";
            }
            QByteArray head = "HTTP/1.1 " + QByteArray::number(r.status) + ' ' + ReasonPhrase(r.status) + "\r\n";
            head += "Content-Type: " + r.contentType + "\r\n";
            if (r.contentLength) head += "Content-Length: " + QByteArray::number(r.body.size()) + "\r\n";
            if (!r.location.isEmpty()) head += "Location: " + r.location + "\r\n";
            head += "Connection: close\r\n\r\n";
            const QByteArray whole = head + r.body;
            QPointer<QTcpSocket> guard(socket);
            auto answer = [guard, whole] {
                if (!guard || guard->state() != QAbstractSocket::ConnectedState) return;
                guard->write(whole);
                guard->disconnectFromHost();
            };
            if (r.delayMs > 0)
                QTimer::singleShot(r.delayMs, socket, answer);
            else
                answer();
        });
    }
}

namespace {
// An uncompressed GIF: a clear code before every second pixel keeps the LZW codes at 3 bits.
QByteArray GifBytes(int width, int height, const QColor& colour) {
    QByteArray out = "GIF89a";
    auto le16 = [&out](int v) { out.append(char(v & 0xff)); out.append(char((v >> 8) & 0xff)); };
    le16(width);
    le16(height);
    out.append(char(0x81));   // global colour table of 4 entries
    out.append(char(0));
    out.append(char(0));
    const QColor table[4] = {colour, Qt::black, Qt::white, Qt::white};
    for (const QColor& c : table) {
        out.append(char(c.red()));
        out.append(char(c.green()));
        out.append(char(c.blue()));
    }
    out.append(char(0x2c));
    le16(0);
    le16(0);
    le16(width);
    le16(height);
    out.append(char(0));
    out.append(char(2));   // LZW minimum code size
    QByteArray data;
    quint32 acc = 0;
    int bits = 0;
    auto put = [&](int code) {
        acc |= quint32(code) << bits;
        bits += 3;
        while (bits >= 8) {
            data.append(char(acc & 0xff));
            acc >>= 8;
            bits -= 8;
        }
    };
    const long pixels = long(width) * height;
    for (long i = 0; i < pixels; ++i) {
        if (i % 2 == 0) put(4);
        put(0);
    }
    put(5);
    if (bits > 0) data.append(char(acc & 0xff));
    for (int i = 0; i < data.size(); i += 255) {
        const QByteArray block = data.mid(i, 255);
        out.append(char(block.size()));
        out.append(block);
    }
    out.append(char(0));
    out.append(char(0x3b));
    return out;
}
}  // namespace

QByteArray EncodedImage(int width, int height, const QColor& colour, const char* format) {
    if (QByteArray(format).toUpper() == "GIF") return GifBytes(width, height, colour);
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 100);
    return bytes;
}
