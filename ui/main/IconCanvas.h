#pragma once
// The feed icon box: keeps the fitted icon and paints it at every repaint, until it is cleared.

#include <QImage>
#include <QRect>
#include <QWidget>

class IconCanvas : public QWidget {
    Q_OBJECT
public:
    explicit IconCanvas(QWidget* parent = nullptr);

    /// Keeps the picture and draws it scaled into target (canvas coordinates) from now on.
    void SetIcon(const QImage& icon, const QRect& target);
    void Clear();
    QImage Icon() const { return icon_; }        ///< null while the box is blank
    QRect IconRect() const { return target_; }   ///< where the icon is drawn

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage icon_;
    QRect target_;
};
