// Placeholder until the badge work: the tile shows nothing and keeps nothing alive.
#include "platform/DockTile.h"

#include <QMenu>
#include <QSystemTrayIcon>

DockTile::DockTile(QObject* parent) : QObject(parent) {}
DockTile::~DockTile() = default;
void DockTile::Draw(const QImage& picture, int) { current_ = picture; }
void DockTile::Restore() { current_ = QImage(); }
bool DockTile::CanBringWindowBack() const { return false; }
QIcon DockTile::ApplicationIcon() { return QIcon(); }
QImage DockTile::CurrentPicture() const { return current_; }
