#pragma once
// A static text for a URL: several lines, broken anywhere (URLs have no blanks to break at),
// and it reports a mouse press so the window can open what it shows.

#include <QLabel>

class LinkText : public QLabel {
    Q_OBJECT
public:
    explicit LinkText(const QString& text, QWidget* parent = nullptr);

signals:
    void pressed(int x, int y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
};
