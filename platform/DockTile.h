#pragma once
// The application's tile: the Dock icon on macOS; elsewhere the window icon and, where there is one,
// a system-tray icon whose menu can bring the main window back.

#include <QIcon>
#include <QImage>
#include <QObject>
#include <QString>
#include <memory>

class QSystemTrayIcon;
class QMenu;

class DockTile : public QObject {
    Q_OBJECT
public:
    /// Uses a tray icon where the desktop offers a system tray (never on macOS, which has the Dock).
    explicit DockTile(QObject* parent = nullptr);
    /// withTray chooses the tray icon explicitly (tests build one on platforms without a tray).
    DockTile(QObject* parent, bool withTray);
    ~DockTile() override;

    /// Shows the picture (the unread badge) on the tile, made at the picture's device pixel ratio; unread goes
    /// into the tray tooltip.
    void Draw(const QImage& picture, int unread);
    /// Puts the application's own icon back.
    void Restore();
    /// Something outside the main window (the Dock, a tray icon) can bring it back once closed.
    bool CanBringWindowBack() const;

    static QIcon ApplicationIcon();
    QImage CurrentPicture() const;   ///< what the tile shows now (null when it shows the plain icon)

    QSystemTrayIcon* TrayIcon() const;   ///< null where there is no tray icon
    QMenu* TrayMenu() const;             ///< "Manage" and "Quit"; null without a tray icon
    /// A menu for the tile: "Manage", and "Quit" too unless it is the Dock's (which has its own).
    std::unique_ptr<QMenu> MakeMenu(bool forDock);
    QString ToolTip() const;             ///< the tray icon's tooltip (kept also without a tray)

signals:
    void manageRequested();
    void quitRequested();

private:
    void Show(const QIcon& icon, const QString& toolTip);
    /// The plain tile the badge goes over, at this device pixel ratio: made once per ratio.
    void PrepareTile(qreal ratio);

    QImage current_;
    QImage baseTile_;   ///< the application icon at tile size and the last picture's ratio
    QString toolTip_;
    std::unique_ptr<QMenu> menu_;
    std::unique_ptr<QMenu> dockMenu_;   ///< macOS only
    std::unique_ptr<QSystemTrayIcon> tray_;
};
