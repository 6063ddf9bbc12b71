#include "tests/support/gui/TestHttpServer.h"

#include <QBuffer>
#include <QImage>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

TestHttpServer::TestHttpServer() {
    server_.listen(QHostAddress::LocalHost, 0);
    connect(&server_, &QTcpServer::newConnection, this, &TestHttpServer::OnConnection);
}

void TestHttpServer::OnConnection() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer = QByteArray()]() mutable {
            buffer += socket->readAll();
            if (!buffer.contains("\r\n\r\n") || socket->property("answered").toBool()) return;
            socket->setProperty("answered", true);
            const QList<QByteArray> requestLine = buffer.left(buffer.indexOf("\r\n")).split(' ');
            const QString path = requestLine.size() > 1 ? QString::fromUtf8(requestLine[1]) : QString();
            requests_ << path;
            const TestResponse r = routes_.value(path, {404, "text/html", "<html>not here</html>"});
            QByteArray head = "HTTP/1.1 " + QByteArray::number(r.status) + " Status\r\nContent-Type: " +
                              r.contentType + "\r\n";
            if (r.contentLength) head += "Content-Length: " + QByteArray::number(r.body.size()) + "\r\n";
            if (!r.location.isEmpty()) head += "Location: " + r.location + "\r\n";
            auto answer = [guard = QPointer<QTcpSocket>(socket), whole = head + "Connection: close\r\n\r\n" + r.body] {
                if (!guard || guard->state() != QAbstractSocket::ConnectedState) return;
                guard->setProperty("sent", true);
                guard->write(whole);
                guard->disconnectFromHost();
            };
            connect(socket, &QTcpSocket::disconnected, this, [this, socket, path] {
                if (!socket->property("sent").toBool()) abandoned_ << path;
            });
            if (r.delayMs >= 0) QTimer::singleShot(r.delayMs, socket, answer);
        });
    }
}

namespace {
// An uncompressed GIF of one colour: a clear code before every second pixel keeps the LZW codes at 3 bits.
QByteArray GifBytes(int width, int height, const QColor& colour) {
    const auto le16 = [](int v) { return QByteArray(1, char(v & 0xff)) + char(v >> 8); };
    const QByteArray size = le16(width) + le16(height);
    // Header, a table of 4 colours (the first one used), one image at 0,0, LZW minimum code size 2.
    QByteArray out = "GIF89a" + size + QByteArray("\x81\0\0", 3) + char(colour.red()) + char(colour.green()) +
                     char(colour.blue()) + QByteArray(9, '\0') + QByteArray(",\0\0\0\0", 5) + size;
    out += QByteArray("\0\2", 2);
    QByteArray data;
    quint32 acc = 0;
    int bits = 0;
    auto put = [&](int code) {
        for (acc |= quint32(code) << bits, bits += 3; bits >= 8; bits -= 8, acc >>= 8) data.append(char(acc));
    };
    for (long i = 0; i < long(width) * height; ++i) {
        if (i % 2 == 0) put(4);
        put(0);
    }
    put(5);
    if (bits > 0) data.append(char(acc));
    for (int i = 0; i < data.size(); i += 255) out += char(qMin(255, int(data.size()) - i)) + data.mid(i, 255);
    return out + QByteArray("\0;", 2);
}
}  // namespace

QByteArray EncodedImage(int width, int height, const QColor& colour, const char* format) {
    if (QByteArray(format).toUpper() == "GIF") return GifBytes(width, height, colour);
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 100);
    return buffer.data();
}
