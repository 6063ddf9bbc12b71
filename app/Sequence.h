#pragma once
// Steps that follow one another from the event loop, for actions with pauses in them (quit the browser,
// wait, delete, start it again). Each step gets `next` and calls it when its work is done, at once or
// later (after a timed wait, a script, a database job), or End() to stop there.
// The sequence is a child of its context: when the context goes, the steps not yet run go with it, and
// whatever the steps held (a token that keeps buttons disabled, say) is let go.

#include <QObject>
#include <functional>
#include <vector>

class Sequence : public QObject {
public:
    using Next = std::function<void()>;

    /// A new, empty sequence owned by context; it deletes itself when its last step is done.
    static Sequence* On(QObject* context);

    Sequence* Then(std::function<void(Next next)> step);
    Sequence* Do(std::function<void()> step);   ///< a step that is done at once
    Sequence* Wait(int ms);                      ///< through the clock seam, so tests do not sleep
    void Start();
    /// Stops after the step running now; the sequence goes, with what its steps held.
    void End();

private:
    explicit Sequence(QObject* context);
    void Advance();

    std::vector<std::function<void(Next)>> steps_;
    std::size_t at_ = 0;
};
