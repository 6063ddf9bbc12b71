#pragma once
// The application's tile: the Dock icon on macOS; elsewhere the window icon and, where there is one,
// a system-tray icon whose menu can bring the main window back.

#include <QIcon>
#include <QImage>
#include <QObject>
#include <memory>

class QSystemTrayIcon;
class QMenu;

class DockTile : public QObject {
    Q_OBJECT
public:
    explicit DockTile(QObject* parent = nullptr);
    ~DockTile() override;

    /// Shows the picture (the unread badge) on the tile; unread goes into the tray tooltip.
    void Draw(const QImage& picture, int unread);
    /// Puts the application's own icon back.
    void Restore();
    /// Something outside the main window (the Dock, a tray icon) can bring it back once closed.
    bool CanBringWindowBack() const;

    static QIcon ApplicationIcon();
    QImage CurrentPicture() const;   ///< what the tile shows now (null when it shows the plain icon)

signals:
    void manageRequested();
    void quitRequested();

private:
    QImage current_;
    std::unique_ptr<QMenu> menu_;
    std::unique_ptr<QSystemTrayIcon> tray_;
};
