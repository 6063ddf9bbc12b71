#include "app/BrowserControl.h"

#include <QTimer>

#include "app/WhileAlive.h"

#include "platform/Processes.h"

namespace {
// macOS shows its permission prompt at the first Quit and waits for the user: long enough for a person.
constexpr int kPromptTimeoutMs = 60000;
}  // namespace

BrowserControl::System BrowserControl::ThisSystem() {
#ifdef Q_OS_MACOS
    return System::MacOS;
#else
    return System::Linux;
#endif
}

BrowserControl::Plan BrowserControl::PlanFor(const QString& command, System system) {
    Plan plan;
    if (system != System::MacOS) return plan;   // the script does everything
    if (command == QLatin1String("Start")) {
        plan.kind = Plan::Program;
        plan.program = QStringLiteral("/usr/bin/open");
        plan.arguments = {QStringLiteral("-a"), QStringLiteral("Safari")};
    } else if (command == QLatin1String("Check")) {
        plan.kind = Plan::ProcessList;
        plan.program = QStringLiteral("Safari");
    } else {
        plan.timeoutMs = kPromptTimeoutMs;
    }
    return plan;
}

BrowserControl::BrowserControl(QObject* parent) : QObject(parent) { runner_.setParent(this); }

bool BrowserControl::ReplyIsTrue(const QString& reply) {
    return reply.trimmed().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

bool BrowserControl::WasRefused(const ScriptResult& result) {
    // osascript's words for "not authorised to send Apple events" end in the error number.
    return result.errorOutput.contains(QLatin1String("-1743"));
}

void BrowserControl::Check() {
    if (!Idle()) return;   // the answer under way, or the next command, will do
    Execute(QStringLiteral("Check"), [this](const ScriptResult& r) {
        emit checked(ReplyIsTrue(r.output));
        RunNext();
    });
}

void BrowserControl::Send(const QString& command, QObject* context, Then then) {
    queue_.push_back({command, WhileAlive<const ScriptResult&>(context, std::move(then))});
    if (!running_) RunNext();
}

void BrowserControl::Cancel() {
    ++generation_;
    queue_.clear();
    runner_.Cancel();
    running_ = false;
}

void BrowserControl::Execute(const QString& command, Then done) {
    running_ = true;
    runningCommand_ = command;
    const Plan plan = PlanFor(command, system_);
    auto finish = [this, done = std::move(done)](const ScriptResult& r) {
        running_ = false;
        if (WasRefused(r)) emit refused();
        done(r);
    };
    switch (plan.kind) {
    case Plan::ProcessList: {
        ScriptResult r;
        r.finished = true;
        r.exitCode = 0;
        r.output = Processes::AnyNamed(plan.program) ? QStringLiteral("true") : QStringLiteral("false");
        // Answered from the event loop, as a script's answer would be (unless cancelled meanwhile).
        QTimer::singleShot(0, this, [this, finish, r, generation = generation_] {
            if (generation == generation_) finish(r);
        });
        break;
    }
    case Plan::Program:
        runner_.StartProgram(plan.program, plan.arguments, finish, plan.timeoutMs);
        break;
    case Plan::Script:
        runner_.Start(command, finish, system_ == System::MacOS ? plan.timeoutMs : -1);
        break;
    }
}

void BrowserControl::RunNext() {
    if (running_) return;
    if (queue_.empty()) {
        emit becameIdle();
        return;
    }
    Pending next = std::move(queue_.front());
    queue_.pop_front();
    Execute(next.command, [this, next](const ScriptResult& r) {
        next.then(r);
        RunNext();
    });
}
