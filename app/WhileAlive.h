#pragma once
// A callback that runs only while the object that asked for it still exists: a result, a script's answer or a
// timed step that arrives after its window has gone is dropped. Without an object, it always runs.

#include <QObject>
#include <QPointer>
#include <functional>

template <class... Args>
std::function<void(Args...)> WhileAlive(QObject* context, std::function<void(Args...)> f) {
    return [guard = QPointer<QObject>(context), bound = context != nullptr, f = std::move(f)](Args... args) {
        if (f && (!bound || guard)) f(std::forward<Args>(args)...);
    };
}
