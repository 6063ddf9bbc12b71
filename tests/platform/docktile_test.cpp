// The tile: the badge over the application's own icon, the plain icon put back, the tray icon's
// tooltip and menu, and the compiled-in application icon.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QSystemTrayIcon>
#include <gtest/gtest.h>

#include "platform/DockTile.h"
#include "ui/main/UnreadBadge.h"

namespace {

QImage IconImage(const QIcon& icon, int size) {
    return icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage Badge(int unread) {
    QImage pic;
    UnreadBadge::Paint(pic, unread);
    return pic;
}

}  // namespace

TEST(DockTile, ApplicationIconIsCompiledInAtEverySize) {
    const QIcon icon = DockTile::ApplicationIcon();
    for (int size : {16, 32, 48, 64, 128, 256, 512}) {
        EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size))) << size;
        const QImage img = IconImage(icon, size);
        // Our own drawing: an opaque tile in the middle, transparent rounded-off corners.
        EXPECT_EQ(qAlpha(img.pixel(size / 2, size / 2)), 255) << size;
        EXPECT_LT(qAlpha(img.pixel(0, 0)), 64) << size;
    }
}

TEST(DockTile, DrawPutsTheBadgeOverTheIconAndRestorePutsThePlainIconBack) {
    DockTile tile(nullptr, true);
    tile.Draw(Badge(5), 5);
    const QImage shown = tile.CurrentPicture(), plain = IconImage(DockTile::ApplicationIcon(), 128);
    ASSERT_EQ(shown.size(), QSize(128, 128));
    EXPECT_EQ(shown.pixel(50, 43), qRgb(255, 0, 0));            // the disc
    EXPECT_EQ(shown.pixel(64, 120), plain.pixel(64, 120));      // the icon where the badge is clear
    EXPECT_EQ(IconImage(QApplication::windowIcon(), 128), shown);   // the Dock icon on macOS
    EXPECT_EQ(IconImage(tile.TrayIcon()->icon(), 128), shown);
    EXPECT_EQ(tile.TrayIcon()->toolTip(), QStringLiteral("BrindleX: 5 unread"));

    tile.Restore();
    EXPECT_TRUE(tile.CurrentPicture().isNull());
    EXPECT_EQ(IconImage(QApplication::windowIcon(), 128), plain);
    EXPECT_EQ(IconImage(tile.TrayIcon()->icon(), 128), plain);
    EXPECT_EQ(tile.TrayIcon()->toolTip(), QStringLiteral("BrindleX"));
}

TEST(DockTile, TrayMenuOffersManageAndQuitAndAClickOnTheIconManages) {
    DockTile tile(nullptr, true);
    ASSERT_NE(tile.TrayMenu(), nullptr);
    QStringList texts, heard;
    QObject::connect(&tile, &DockTile::manageRequested, [&] { heard << "manage"; });
    QObject::connect(&tile, &DockTile::quitRequested, [&] { heard << "quit"; });
    for (QAction* a : tile.TrayMenu()->actions()) {
        texts << a->text();
        a->trigger();
    }
    emit tile.TrayIcon()->activated(QSystemTrayIcon::Trigger);   // a click on the icon itself
    emit tile.TrayIcon()->activated(QSystemTrayIcon::Context);   // the menu opening: nothing more
    EXPECT_EQ(texts, (QStringList{"Manage", "Quit"}));
    EXPECT_EQ(heard, (QStringList{"manage", "quit", "manage"}));
}

TEST(DockTile, WithoutATrayOnlyTheDockCanBringTheWindowBack) {
    DockTile tile(nullptr, false);
    EXPECT_TRUE(tile.TrayIcon() == nullptr && tile.TrayMenu() == nullptr);
#ifndef Q_OS_MACOS   // where the Dock does it, both can
    EXPECT_FALSE(tile.CanBringWindowBack());
    EXPECT_TRUE(DockTile(nullptr, true).CanBringWindowBack());
#endif
    tile.Draw(Badge(3), 3);   // still draws: the window icon carries the badge
    EXPECT_FALSE(tile.CurrentPicture().isNull());
    EXPECT_EQ(tile.ToolTip(), QStringLiteral("BrindleX: 3 unread"));
}
