#include "app/Sequence.h"

#include <QPointer>

#include "app/App.h"

Sequence* Sequence::On(QObject* context) { return new Sequence(context); }

Sequence::Sequence(QObject* context) : QObject(context) {}

Sequence* Sequence::Then(std::function<void(Next)> step) {
    steps_.push_back(std::move(step));
    return this;
}

Sequence* Sequence::Do(std::function<void()> step) {
    return Then([step = std::move(step)](const Next& next) {
        step();
        next();
    });
}

Sequence* Sequence::Wait(int ms) {
    return Then([this, ms](Next next) { app().seams.after(ms, this, std::move(next)); });
}

void Sequence::Start() { Advance(); }

void Sequence::End() {
    at_ = steps_.size();
    deleteLater();   // not at once: the step calling this is still running
}

void Sequence::Advance() {
    if (at_ >= steps_.size()) {
        deleteLater();
        return;
    }
    auto& step = steps_[at_++];
    // A step may finish later, from a callback; by then this sequence may have gone with its context.
    step([self = QPointer<Sequence>(this)] {
        if (self) self->Advance();
    });
}
