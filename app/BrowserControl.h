#pragma once
// Starts, quits and watches the browser, one run at a time: a command waits for the run under way, and a
// check that finds one under way or waiting is skipped. On Linux every command goes to the
// browser-control script. On macOS Safari is started through Launch Services (no Apple Event, so no
// permission prompt), watched by asking the system for its process (nothing started every second), and
// quit by the compiled AppleScript, which may wait for the user to answer macOS's permission prompt.

#include <QObject>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>

#include "platform/ScriptRunner.h"

class BrowserControl : public QObject {
    Q_OBJECT
public:
    using Then = std::function<void(const ScriptResult&)>;

    enum class System { Linux, MacOS };
    static System ThisSystem();

    /// How one command is carried out on a system.
    struct Plan {
        enum Kind { Script, Program, ProcessList } kind = Script;
        QString program;          ///< Program: what runs; ProcessList: the process name looked for
        QStringList arguments;    ///< Program only
        int timeoutMs = 3000;
    };
    static Plan PlanFor(const QString& command, System system);

    explicit BrowserControl(QObject* parent = nullptr);

    /// Asks whether the browser runs; the answer arrives as checked(). Skipped while anything is under way.
    void Check();
    /// Runs a command ("Start", "Quit", "Check") after what is under way; then gets the result, unless
    /// a context was given and has gone.
    void Send(const QString& command, QObject* context, Then then);
    /// Nothing running and nothing waiting.
    bool Idle() const { return !running_ && queue_.empty(); }
    /// A command other than a check is running or waiting: quitting now could cut it off.
    bool CommandsPending() const { return !queue_.empty() || (running_ && runningCommand_ != "Check"); }
    /// Ends the run under way and drops the waiting ones, calling nothing.
    void Cancel();

    ScriptRunner& Runner() { return runner_; }
    /// Which system's commands to use; a stand-in script that takes every command is run as on Linux.
    void SetSystem(System system) { system_ = system; }

    /// How a reply of "Check" reads: "true" in any letter case, blanks around it aside.
    static bool ReplyIsTrue(const QString& reply);
    /// The system refused the script control of the browser (macOS: the user said no in its prompt).
    static bool WasRefused(const ScriptResult& result);

signals:
    void checked(bool running);
    void refused();   ///< a command was refused by the system's permission check
    void becameIdle();

private:
    struct Pending {
        QString command;
        Then then;   ///< already bound to its context
    };
    void Execute(const QString& command, Then done);
    void RunNext();

    ScriptRunner runner_;
    std::deque<Pending> queue_;
    bool running_ = false;
    QString runningCommand_;
    int generation_ = 0;   ///< counts cancels: an answer from before one is dropped
    System system_ = ThisSystem();
};
