#include "ui/main/UnreadBadge.h"

#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <QString>

namespace UnreadBadge {

QImage NewPicture(qreal devicePixelRatio) {
    const int pixels = qRound(kSize * devicePixelRatio);
    QImage picture(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    picture.setDevicePixelRatio(devicePixelRatio);
    picture.fill(Qt::transparent);
    return picture;
}

void Paint(QImage& picture, std::int32_t unread, qreal devicePixelRatio) {
    const int pixels = qRound(kSize * devicePixelRatio);
    if (picture.size() != QSize(pixels, pixels) || picture.devicePixelRatio() != devicePixelRatio ||
        picture.format() != QImage::Format_ARGB32_Premultiplied)
        picture = NewPicture(devicePixelRatio);
    // Cleared every time: a wider number painted earlier would otherwise leave digits beside this one.
    picture.fill(Qt::transparent);

    QPainter p(&picture);   // in logical pixels: the painter scales by the picture's ratio
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 0, 0));
    p.drawEllipse(QRectF(kDiscLeft, kDiscTop, kDiscDiameter, kDiscDiameter));

    QFont font = p.font();
    font.setPixelSize(kTextPixelSize);   // pixels, not points: the badge is laid out in pixels
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(0, 0, 255));
    p.drawText(QPointF(kTextLeft, kTextBaseline), QString::number(unread));
}

void Paint(QImage& picture, std::int32_t unread) {
    Paint(picture, unread, qGuiApp ? qGuiApp->devicePixelRatio() : 1.0);
}

}  // namespace UnreadBadge
