// The tile: the badge over the application's own (compiled-in) icon at the badge's pixel ratio, the plain icon
// put back, the tray icon's tooltip and menu.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QSystemTrayIcon>
#include <gtest/gtest.h>

#include "platform/DockTile.h"
#include "ui/main/UnreadBadge.h"

namespace {

QImage IconImage(const QIcon& icon, int size, qreal ratio = 1.0) {
    return icon.pixmap(QSize(size, size), ratio).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage Badge(int unread, qreal ratio = 1.0) {
    QImage pic;
    UnreadBadge::Paint(pic, unread, ratio);
    return pic;
}

}  // namespace

// One tile shows a badge at ratio 1, then one at ratio 2 (a Retina Dock): the same places, twice the pixels.
TEST(DockTile, DrawPutsTheBadgeOverTheIconAtThePicturesRatioAndRestorePutsThePlainIconBack) {
    DockTile tile(nullptr, true);
    for (qreal ratio : {1.0, 2.0}) {
        SCOPED_TRACE(testing::Message() << "ratio " << ratio);
        tile.Draw(Badge(5, ratio), 5);
        const QImage shown = tile.CurrentPicture(), plain = IconImage(DockTile::ApplicationIcon(), 128, ratio);
        ASSERT_EQ(shown.size(), QSize(128, 128) * ratio);
        EXPECT_EQ(shown.devicePixelRatio(), ratio);
        EXPECT_EQ(shown.pixel(QPoint(50, 43) * ratio), qRgb(255, 0, 0));                    // the disc
        EXPECT_EQ(shown.pixel(QPoint(64, 120) * ratio), plain.pixel(QPoint(64, 120) * ratio));   // the icon
        EXPECT_EQ(IconImage(QApplication::windowIcon(), 128, ratio), shown);   // the Dock icon on macOS
        EXPECT_EQ(IconImage(tile.TrayIcon()->icon(), 128, ratio), shown);
        EXPECT_EQ(tile.TrayIcon()->toolTip(), QStringLiteral("BrindleX: 5 unread"));

        tile.Restore();
        EXPECT_TRUE(tile.CurrentPicture().isNull());
        EXPECT_EQ(IconImage(QApplication::windowIcon(), 128, ratio), plain);
        EXPECT_EQ(IconImage(tile.TrayIcon()->icon(), 128, ratio), plain);
        EXPECT_EQ(tile.TrayIcon()->toolTip(), QStringLiteral("BrindleX"));
    }
}

TEST(DockTile, TrayMenuOffersManageAndQuitTheDockMenuManageAndAClickOnTheIconManages) {
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
    const auto dockMenu = tile.MakeMenu(true);   // the Dock brings its own Quit
    for (QAction* a : dockMenu->actions()) {
        texts << a->text();
        a->trigger();
    }
    EXPECT_EQ(texts, (QStringList{"Manage", "Quit", "Manage"}));
    EXPECT_EQ(heard, (QStringList{"manage", "quit", "manage", "manage"}));
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
