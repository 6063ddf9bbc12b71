#include "ui/prefs/UpDownArrows.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

UpDownArrows::UpDownArrows(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
}

void UpDownArrows::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal mid = height() / 2.0;
    const QPalette& pal = palette();

    p.setPen(pal.color(QPalette::Mid));
    p.setBrush(pal.color(QPalette::Button));
    p.drawRoundedRect(frame, 2, 2);
    if (pressed_ != 0) {
        p.setPen(Qt::NoPen);
        p.setBrush(pal.color(QPalette::Dark));
        p.drawRect(pressed_ > 0 ? QRectF(1, 1, width() - 2, mid - 1) : QRectF(1, mid, width() - 2, mid - 1));
    }
    p.setPen(pal.color(QPalette::Mid));
    p.drawLine(QPointF(1, mid), QPointF(width() - 1, mid));

    // Two small triangles centred in their halves.
    const qreal cx = width() / 2.0, half = qMax(1.5, (width() - 4) / 2.0), h = qMin(half, mid / 2.0);
    QPainterPath up, down;
    up.moveTo(cx - half, mid / 2 + h / 2);
    up.lineTo(cx + half, mid / 2 + h / 2);
    up.lineTo(cx, mid / 2 - h / 2);
    up.closeSubpath();
    down.moveTo(cx - half, mid + mid / 2 - h / 2);
    down.lineTo(cx + half, mid + mid / 2 - h / 2);
    down.lineTo(cx, mid + mid / 2 + h / 2);
    down.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(isEnabled() ? pal.color(QPalette::ButtonText) : pal.color(QPalette::Mid));
    p.drawPath(up);
    p.drawPath(down);
}

void UpDownArrows::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    pressed_ = event->position().y() < height() / 2.0 ? 1 : -1;
    update();
}

void UpDownArrows::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || pressed_ == 0) return;
    const int which = pressed_;
    pressed_ = 0;
    update();
    if (!rect().contains(event->position().toPoint())) return;   // dragged off: no step
    if (which > 0)
        emit Up();
    else
        emit Down();
}
