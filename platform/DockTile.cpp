#include "platform/DockTile.h"

#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QSystemTrayIcon>

namespace {

const int kTileSize = 128;
const int kIconSizes[] = {16, 32, 48, 64, 128, 256, 512};

bool DesktopHasTray() {
#ifdef Q_OS_MACOS
    return false;   // the Dock icon already brings the window back
#else
    return QSystemTrayIcon::isSystemTrayAvailable();
#endif
}

}  // namespace

// Compiled into the static GUI library: referencing the initialiser keeps the linker from dropping it.
static void InitResources() {
    static bool done = false;
    if (done) return;
    done = true;
    Q_INIT_RESOURCE(brindlex);
}

DockTile::DockTile(QObject* parent) : DockTile(parent, DesktopHasTray()) {}

DockTile::DockTile(QObject* parent, bool withTray) : QObject(parent), toolTip_(QStringLiteral("BrindleX")) {
#ifdef Q_OS_MACOS
    // The Dock's own menu for the icon: "Manage" above what the Dock adds itself (Quit among it).
    dockMenu_ = MakeMenu(true);
    dockMenu_->setAsDockMenu();
#endif
    if (withTray) {
        menu_ = MakeMenu(false);
        tray_ = std::make_unique<QSystemTrayIcon>();
        tray_->setContextMenu(menu_.get());
        connect(tray_.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) emit manageRequested();
        });
    }
    Show(ApplicationIcon(), toolTip_);
    if (tray_ && QSystemTrayIcon::isSystemTrayAvailable()) tray_->show();
    // Made now rather than at the first badge, which comes with a countdown tick the window must not feel.
    PrepareTile(qApp->devicePixelRatio());
}

void DockTile::PrepareTile(qreal ratio) {
    if (!baseTile_.isNull() && baseTile_.devicePixelRatio() == ratio) return;
    const int pixels = qRound(kTileSize * ratio);
    baseTile_ = ApplicationIcon().pixmap(QSize(kTileSize, kTileSize), ratio).toImage()
                    .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (baseTile_.size() != QSize(pixels, pixels)) {
        baseTile_ = QImage(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
        baseTile_.fill(Qt::transparent);
    }
    baseTile_.setDevicePixelRatio(ratio);
}

std::unique_ptr<QMenu> DockTile::MakeMenu(bool forDock) {
    auto menu = std::make_unique<QMenu>();
    connect(menu->addAction(QStringLiteral("Manage")), &QAction::triggered, this, &DockTile::manageRequested);
    if (!forDock)
        connect(menu->addAction(QStringLiteral("Quit")), &QAction::triggered, this, &DockTile::quitRequested);
    return menu;
}

DockTile::~DockTile() {
    if (tray_) tray_->hide();
}

void DockTile::Draw(const QImage& picture, int unread) {
    // The badge goes over the application's own icon, as it does on the Dock. The tile has the picture's
    // device pixel ratio, so a badge painted at the screen's ratio stays sharp on a Retina Dock. The plain tile
    // is made once per ratio: the badge is drawn every second.
    PrepareTile(picture.isNull() ? 1.0 : picture.devicePixelRatio());
    QImage tile = baseTile_.copy();
    {
        QPainter p(&tile);
        p.drawImage(QPoint(0, 0), picture);   // at the top left, the same logical size
    }
    const QString toolTip = QStringLiteral("BrindleX: %1 unread").arg(unread);
    if (tile == current_ && toolTip == toolTip_) return;   // the same badge: nothing to push
    current_ = tile;
    toolTip_ = toolTip;
    Show(QIcon(QPixmap::fromImage(tile)), toolTip_);
}

void DockTile::Restore() {
    current_ = QImage();
    toolTip_ = QStringLiteral("BrindleX");
    Show(ApplicationIcon(), toolTip_);
}

void DockTile::Show(const QIcon& icon, const QString& toolTip) {
    // On macOS the application icon is the Dock tile; elsewhere it is every window's icon.
    QApplication::setWindowIcon(icon);
    if (tray_) {
        tray_->setIcon(icon);
        tray_->setToolTip(toolTip);
    }
}

bool DockTile::CanBringWindowBack() const {
#ifdef Q_OS_MACOS
    return true;
#else
    return tray_ != nullptr;
#endif
}

QIcon DockTile::ApplicationIcon() {
    InitResources();
    QIcon icon;
    for (int size : kIconSizes)
        icon.addFile(QStringLiteral(":/icons/brindlex-%1.png").arg(size), QSize(size, size));
    return icon;
}

QImage DockTile::CurrentPicture() const { return current_; }
QSystemTrayIcon* DockTile::TrayIcon() const { return tray_.get(); }
QMenu* DockTile::TrayMenu() const { return menu_.get(); }
QString DockTile::ToolTip() const { return toolTip_; }
