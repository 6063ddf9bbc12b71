#pragma once
// Starts, quits and watches the browser through the browser-control script, one run at a time: a
// command waits for the run under way, a check finding one under way or waiting is skipped.

#include <QObject>
#include <QPointer>
#include <QString>
#include <deque>
#include <functional>

#include "platform/ScriptRunner.h"

class BrowserControl : public QObject {
    Q_OBJECT
public:
    using Then = std::function<void(const ScriptResult&)>;

    explicit BrowserControl(QObject* parent = nullptr);

    /// Asks whether the browser runs; the answer arrives as checked(). Skipped while anything is under way.
    void Check();
    /// Runs a command ("Start", "Quit", "Check") after what is under way; then gets the result, unless
    /// a context was given and has gone.
    void Send(const QString& command, QObject* context, Then then);
    /// Nothing running and nothing waiting.
    bool Idle() const { return !runner_.IsRunning() && queue_.empty(); }
    /// A command other than a check is running or waiting: quitting now could cut it off.
    bool CommandsPending() const { return !queue_.empty() || (runner_.IsRunning() && running_ != "Check"); }
    /// Ends the run under way and drops the waiting ones, calling nothing.
    void Cancel();

    ScriptRunner& Runner() { return runner_; }

    /// How a reply of "Check" reads: "true" in any letter case, blanks around it aside.
    static bool ReplyIsTrue(const QString& reply);

signals:
    void checked(bool running);
    void becameIdle();

private:
    struct Pending {
        QString command;
        QPointer<QObject> context;
        bool hasContext = false;
        Then then;
    };
    void RunNext();

    ScriptRunner runner_;
    std::deque<Pending> queue_;
    QString running_;   ///< the command under way
};
