#include "ui/main/UnreadBadge.h"

#include <QFont>
#include <QPainter>
#include <QString>

namespace UnreadBadge {

QImage NewPicture() {
    QImage picture(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    return picture;
}

void Paint(QImage& picture, std::int32_t unread) {
    if (picture.size() != QSize(kSize, kSize) || picture.format() != QImage::Format_ARGB32_Premultiplied)
        picture = NewPicture();
    // Cleared every time: a wider number painted earlier would otherwise leave digits beside this one.
    picture.fill(Qt::transparent);

    QPainter p(&picture);
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

}  // namespace UnreadBadge
