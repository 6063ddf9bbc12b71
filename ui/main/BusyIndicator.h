#pragma once
// A small indeterminate busy indicator: spokes that turn while the widget is visible.

#include <QTimer>
#include <QWidget>

class BusyIndicator : public QWidget {
    Q_OBJECT
public:
    explicit BusyIndicator(QWidget* parent = nullptr);
    bool IsSpinning() const { return timer_.isActive(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QTimer timer_;
    int step_ = 0;
};
