#include "app/FeedDatabase.h"

#include <QFile>

FeedDatabase::FeedDatabase(QObject* parent)
    : QObject(parent), worker_([this](std::function<void()> then) {
          // Queued to this object: delivered on its thread, and dropped if it has gone.
          QMetaObject::invokeMethod(this, std::move(then), Qt::QueuedConnection);
      }) {}

FeedDatabase::~FeedDatabase() { worker_.Stop(); }

void FeedDatabase::Refresh(QObject* context, const QString& path, bool allFeeds,
                           std::function<void(const RefreshResult&)> then) {
    worker_.Refresh(QFile::encodeName(path).toStdString(), allFeeds,
                    WhileAlive<const RefreshResult&>(context, std::move(then)));
}
