#include "app/BrowserControl.h"

BrowserControl::BrowserControl(QObject* parent) : QObject(parent) { runner_.setParent(this); }

bool BrowserControl::ReplyIsTrue(const QString& reply) {
    return reply.trimmed().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

void BrowserControl::Check() {
    if (!Idle()) return;   // the answer under way, or the next command, will do
    running_ = QStringLiteral("Check");
    runner_.Start(QStringLiteral("Check"), [this](const ScriptResult& r) {
        emit checked(ReplyIsTrue(r.output));
        RunNext();
    });
}

void BrowserControl::Send(const QString& command, QObject* context, Then then) {
    queue_.push_back({command, QPointer<QObject>(context), context != nullptr, std::move(then)});
    if (!runner_.IsRunning()) RunNext();
}

void BrowserControl::Cancel() {
    queue_.clear();
    runner_.Cancel();
}

void BrowserControl::RunNext() {
    if (runner_.IsRunning()) return;
    if (queue_.empty()) {
        emit becameIdle();
        return;
    }
    Pending next = std::move(queue_.front());
    queue_.pop_front();
    running_ = next.command;
    runner_.Start(next.command, [this, next](const ScriptResult& r) {
        if (next.then && (!next.hasContext || next.context)) next.then(r);
        RunNext();
    });
}
