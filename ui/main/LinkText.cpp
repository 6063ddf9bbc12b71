#include "ui/main/LinkText.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTextOption>

LinkText::LinkText(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setTextFormat(Qt::PlainText);   // an address from a feed is text, never markup
    setCursor(Qt::PointingHandCursor);
}

void LinkText::paintEvent(QPaintEvent*) {
    QPainter p(this);   // with the label's font and text colour
    QTextOption option(alignment());
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    p.drawText(QRectF(contentsRect()), text(), option);
}

void LinkText::mousePressEvent(QMouseEvent* event) {
    emit pressed(event->position().toPoint().x(), event->position().toPoint().y());
    QLabel::mousePressEvent(event);
}
