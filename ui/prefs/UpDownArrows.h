#pragma once
// A narrow pair of arrows, one above the other, that step a number up or down (no field of its own).

#include <QWidget>

class UpDownArrows : public QWidget {
    Q_OBJECT
public:
    explicit UpDownArrows(QWidget* parent = nullptr);

signals:
    void Up();
    void Down();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int pressed_ = 0;   ///< +1 while the upper arrow is held, -1 for the lower one
};
