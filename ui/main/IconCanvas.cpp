#include "ui/main/IconCanvas.h"

#include <QPainter>

IconCanvas::IconCanvas(QWidget* parent) : QWidget(parent) {
    setAutoFillBackground(true);   // the background is erased before each paint
    setFocusPolicy(Qt::NoFocus);
}

void IconCanvas::SetIcon(const QImage& icon, const QRect& target) {
    icon_ = icon;
    target_ = target;
    update();
}

void IconCanvas::Clear() {
    icon_ = QImage();
    target_ = QRect();
    update();
}

void IconCanvas::paintEvent(QPaintEvent*) {
    if (icon_.isNull() || target_.isEmpty()) return;
    QPainter p(this);
    p.drawImage(target_, icon_, icon_.rect());
}
