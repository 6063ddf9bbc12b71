#include "ui/main/BusyIndicator.h"

#include <QPainter>

namespace {
constexpr int kSpokes = 8;
}

BusyIndicator::BusyIndicator(QWidget* parent) : QWidget(parent) {
    timer_.setInterval(100);
    connect(&timer_, &QTimer::timeout, this, [this] {
        step_ = (step_ + 1) % kSpokes;
        update();
    });
}

void BusyIndicator::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal side = qMin(width(), height());
    p.translate(width() / 2.0, height() / 2.0);
    QPen pen(palette().color(QPalette::WindowText));
    pen.setWidthF(qMax(1.5, side / 8.0));
    pen.setCapStyle(Qt::RoundCap);
    for (int i = 0; i < kSpokes; ++i) {
        // The spoke at the current step is darkest; the ones behind it fade.
        QColor c = pen.color();
        c.setAlphaF(0.15 + 0.85 * ((i - step_ + kSpokes) % kSpokes) / (kSpokes - 1.0));
        pen.setColor(c);
        p.setPen(pen);
        p.save();
        p.rotate(360.0 * i / kSpokes);
        p.drawLine(QPointF(0, -side * 0.22), QPointF(0, -side * 0.42));
        p.restore();
    }
}

void BusyIndicator::showEvent(QShowEvent* event) {
    timer_.start();
    QWidget::showEvent(event);
}

void BusyIndicator::hideEvent(QHideEvent* event) {
    timer_.stop();
    QWidget::hideEvent(event);
}
