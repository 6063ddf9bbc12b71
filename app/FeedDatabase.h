#pragma once
// The window's side of the database worker: jobs go to the worker thread, and each result comes back on
// the window's thread to the object that asked, unless that object has gone meanwhile.

#include <QObject>
#include <QString>
#include <functional>

#include "app/WhileAlive.h"
#include "feeds/DatabaseWorker.h"

class FeedDatabase : public QObject {
public:
    explicit FeedDatabase(QObject* parent = nullptr);
    ~FeedDatabase() override;

    /// A new connection on path, then the list and totals; merged with a refresh still waiting in line.
    void Refresh(QObject* context, const QString& path, bool allFeeds, std::function<void(const RefreshResult&)> then);

    /// work runs on the worker thread on the last refresh's connection; then gets its value.
    template <class R>
    void Run(QObject* context, std::function<R(SqlConnection&)> work, std::function<void(R)> then) {
        worker_.Run<R>(std::move(work), WhileAlive<R>(context, std::move(then)));
    }

    /// Interrupts what runs and joins the worker; later jobs are dropped.
    void Stop() { worker_.Stop(); }
    bool Idle() const { return worker_.Idle(); }

private:
    DatabaseWorker worker_;
};
