// The tile: the badge over the application's own (compiled-in) icon at the badge's pixel ratio, the plain icon
// put back, the tray icon's tooltip and menu.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QPainter>
#include <QRegularExpression>
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

// The application's icon is the picture drawn for each size.
TEST(DockTile, TheApplicationIconIsTheDrawnPictureAtEachSize) {
    const QStringList sizes = QDir(":/icons").entryList().replaceInStrings(QRegularExpression("\\D"), "");
    ASSERT_FALSE(sizes.isEmpty());
    for (const QString& size : sizes)
        EXPECT_EQ(IconImage(DockTile::ApplicationIcon(), size.toInt()), QImage(":/icons/brindlex-" + size + ".png").convertToFormat(QImage::Format_ARGB32_Premultiplied)) << size.toStdString();
}

// One tile shows a badge at ratio 1, then one at ratio 2 (a Retina Dock): the same places, twice the pixels; a
// count alone changes the tooltip, a picture alone the icon. Its tray menu offers Manage and Quit, the Dock's menu
// Manage, and a click on the icon manages.
TEST(DockTile, DrawAndRestoreTheBadgeAtThePicturesRatioAndTheMenusAskToManageOrQuit) {
    DockTile tile(nullptr, true);
    EXPECT_EQ(IconImage(tile.TrayIcon()->icon(), 128), IconImage(DockTile::ApplicationIcon(), 128));
    EXPECT_EQ(tile.TrayIcon()->toolTip() + " " + tile.TrayIcon()->contextMenu()->actions().value(0)->text(), "BrindleX Manage");
    EXPECT_EQ(tile.TrayIcon()->isVisible(), QSystemTrayIcon::isSystemTrayAvailable());
    for (qreal ratio : {1.0, 2.0}) {
        SCOPED_TRACE(testing::Message() << "ratio " << ratio);
        tile.Draw(Badge(5, ratio), 5);
        tile.Draw(Badge(5, ratio), 6);
        EXPECT_EQ(tile.TrayIcon()->toolTip(), QStringLiteral("BrindleX: 6 unread"));
        tile.Draw(Badge(7, ratio), 6);
        const QImage shown = tile.CurrentPicture(), plain = IconImage(DockTile::ApplicationIcon(), 128, ratio);
        QImage expected = plain;
        QPainter(&expected).drawImage(QPoint(0, 0), Badge(7, ratio));   // at the top left, the same logical size
        EXPECT_EQ(shown, expected);
        EXPECT_EQ(shown.devicePixelRatio(), ratio);
        EXPECT_EQ(IconImage(QApplication::windowIcon(), 128, ratio), shown);   // the Dock icon on macOS
        EXPECT_EQ(IconImage(tile.TrayIcon()->icon(), 128, ratio), shown);

        tile.Restore();
        EXPECT_TRUE(tile.CurrentPicture().isNull());
        EXPECT_EQ(IconImage(QApplication::windowIcon(), 128, ratio), plain);
        EXPECT_EQ(IconImage(tile.TrayIcon()->icon(), 128, ratio), plain);
        EXPECT_EQ(tile.TrayIcon()->toolTip(), QStringLiteral("BrindleX"));
    }

    ASSERT_NE(tile.TrayMenu(), nullptr);
    QStringList texts, heard;
    QObject::connect(&tile, &DockTile::manageRequested, [&] { heard << "manage"; });
    QObject::connect(&tile, &DockTile::quitRequested, [&] { heard << "quit"; });
    emit tile.TrayIcon()->activated(QSystemTrayIcon::Trigger);   // a click on the icon itself
    emit tile.TrayIcon()->activated(QSystemTrayIcon::Context);   // the menu opening: nothing more
    const auto dockMenu = tile.MakeMenu(true);   // the Dock brings its own Quit
    for (QMenu* menu : {tile.TrayMenu(), dockMenu.get()})
        for (QAction* a : menu->actions()) {
            texts << a->text();
            a->trigger();
        }
    EXPECT_EQ(texts, (QStringList{"Manage", "Quit", "Manage"}));
    EXPECT_EQ(heard, (QStringList{"manage", "manage", "quit", "manage"}));
}

TEST(DockTile, WithoutATrayOnlyTheDockCanBringTheWindowBack) {
    DockTile tile(nullptr, false);
    EXPECT_TRUE(tile.TrayIcon() == nullptr && tile.TrayMenu() == nullptr);
    EXPECT_EQ(DockTile().TrayIcon() != nullptr, QSystemTrayIcon::isSystemTrayAvailable());
#ifndef Q_OS_MACOS   // where the Dock does it, both can
    EXPECT_FALSE(tile.CanBringWindowBack());
    EXPECT_TRUE(DockTile(nullptr, true).CanBringWindowBack());
#endif
    tile.Draw(Badge(3), 3);   // still draws: the window icon carries the badge
    EXPECT_FALSE(tile.CurrentPicture().isNull());
    EXPECT_EQ(tile.ToolTip(), QStringLiteral("BrindleX: 3 unread"));
}
