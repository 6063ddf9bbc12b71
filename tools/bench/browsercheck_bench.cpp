// One browser check with the given script, against starting /bin/true the same way. The check runs
// asynchronously, so two figures: how long it holds the window's thread (App::CheckBrowser until it returns,
// plus the handling of the answer: the process's end read, checked emitted, SafariRunning and the caption of
// bbSafari set), and the round trip from the call to the checked signal, which is the script's own cost.
// When $BROWSER names a program this machine does not have, a stand-in of that name (a copy of sleep) goes on
// PATH, so that the script has a real program to look for; the check is then timed with it stopped and running.
//
//   brindlex_bench_browsercheck SCRIPT [CHECKS]

#include <QApplication>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <string>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/App.h"
#include "platform/ScriptRunner.h"
#include "tools/bench/AppSupport.h"
#include "tools/bench/BenchSupport.h"
#include "ui/main/Window1.h"

namespace {

// The script looks through every process, so its time grows with their number.
std::size_t ProcessCount() {
    std::size_t n = 0;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (!name.empty() && name.find_first_not_of("0123456789") == std::string::npos) ++n;
    }
    return n;
}

// The stand-in for $BROWSER's program, put on PATH; empty when $BROWSER names a path or an installed program.
std::string MakeStandIn(const std::string& home) {
    const char* browser = std::getenv("BROWSER");
    const std::string name = browser ? std::string(browser).substr(0, std::string(browser).find_first_of(": ")) : "";
    if (name.empty() || name.find('/') != std::string::npos) return {};
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    for (std::size_t from = 0; from <= path.size();) {
        const std::size_t to = std::min(path.find(':', from), path.size());
        if (access((path.substr(from, to - from) + "/" + name).c_str(), X_OK) == 0) return {};
        from = to + 1;
    }
    std::error_code ec;
    std::filesystem::create_directories(home + "/bin", ec);
    const std::string standIn = home + "/bin/" + name;
    if (!std::filesystem::copy_file("/bin/sleep", standIn, ec)) return {};
    setenv("PATH", (home + "/bin:" + path).c_str(), 1);
    return standIn;
}

struct Timings {
    bench::Stats held, call, answer, roundTrip;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s SCRIPT [CHECKS]\n", argv[0]);
        return 2;
    }
    const QString script = QString::fromStdString(std::filesystem::absolute(argv[1]).string());
    const int checks = argc > 2 ? std::max(5, std::atoi(argv[2])) : 200;
    // The script's cache of the default browser lives under the real home; keep what the user has.
    const std::string home = bench::MakeOffscreenHome("bench-check");
    const std::string standIn = MakeStandIn(home);

    bench::ToolApp application(argv[0], home);
    App& a = app();
    a.dbFileName = QString::fromStdString(home + "/no-database");
    a.seams.beep = [] {};
    a.seams.message = [](const QString&) {};
    a.AutoRefresh = false;
    Window1* w = Window1::instance();
    w->Timer1->stop();
    w->Timer2->stop();
    bench::Settle();

    // The end of the answer's handling: connected after App's own slot, so it runs once that has set
    // SafariRunning and the window its caption.
    bench::Clock::time_point answered{};
    QObject::connect(&a.browser(), &BrowserControl::checked, &a, [&] { answered = bench::Clock::now(); });
    auto time = [&](const QString& path, int n) {
        a.browser().Runner().SetScriptPath(path);
        std::vector<double> held, calls, answers, roundTrip;
        for (int i = -3; i < n; ++i) {
            answered = {};
            // Where the answer's handling starts: the process is seen to have ended (before finished).
            bench::Clock::time_point ended{};
            const auto t = bench::Clock::now();
            a.CheckBrowser();
            const double call = bench::MsSince(t);
            for (auto* process : a.browser().Runner().findChildren<QProcess*>()) {
                if (process->state() == QProcess::NotRunning) continue;   // an earlier one, not deleted yet
                QObject::connect(process, &QProcess::stateChanged, &a, [&](QProcess::ProcessState state) {
                    if (state == QProcess::NotRunning) ended = bench::Clock::now();
                });
            }
            if (!bench::RunUntil([&] { return answered != bench::Clock::time_point{}; }, 10000)) {
                std::fprintf(stderr, "no answer from %s within 10 s\n", path.toUtf8().constData());
                std::exit(2);
            }
            // A script that could not start reports without a process: its handling starts with the report.
            const double handling = ended == bench::Clock::time_point{}
                                        ? 0.0
                                        : std::chrono::duration<double, std::milli>(answered - ended).count();
            if (i >= 0) {
                held.push_back(call + handling);
                calls.push_back(call);
                answers.push_back(handling);
                roundTrip.push_back(std::chrono::duration<double, std::milli>(answered - t).count());
            }
            bench::Settle();   // the finished process deleted before the next check
        }
        return Timings{bench::Summarise(held), bench::Summarise(calls), bench::Summarise(answers),
                       bench::Summarise(roundTrip)};
    };
    auto reply = [&] {
        return std::string("(reply: ") + (a.SafariRunning ? "true" : "not true") + ", caption \"" +
               w->bbSafari->text().toStdString() + "\")";
    };
    const auto floor = time(QStringLiteral("/bin/true"), checks / 2);
    const auto check = time(script, checks);
    const char* browser = std::getenv("BROWSER");
    const std::string browserText = browser ? "BROWSER=" + std::string(browser) : "BROWSER unset";
    std::printf("browser check with %s, %s%s, %zu processes\n", argv[1], browserText.c_str(),
                standIn.empty() ? "" : " (a stand-in on PATH)", ProcessCount());
    auto show = [&](const char* label, const Timings& t, const std::string& after) {
        std::printf("  %-19s round trip   %s %s\n", label, bench::Describe(t.roundTrip).c_str(), after.c_str());
        std::printf("  %-19s window holds %s (call %.2f + answer %.2f)\n", "", bench::Describe(t.held).c_str(),
                    t.call.median, t.answer.median);
    };
    show(standIn.empty() ? "CheckBrowser" : "not running", check, reply());
    double worst = check.roundTrip.median, worstHeld = check.held.median;
    if (!standIn.empty()) {
        pid_t pid = 0;
        std::string name = std::filesystem::path(standIn).filename().string(), seconds = "600";
        char* args[] = {name.data(), seconds.data(), nullptr};
        if (posix_spawn(&pid, standIn.c_str(), nullptr, nullptr, args, environ) == 0) {
            const auto running = time(script, checks);
            show("running", running, reply());
            worst = std::max(worst, running.roundTrip.median);
            worstHeld = std::max(worstHeld, running.held.median);
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
    show("same with /bin/true", floor, "(starting a process at all)");
    std::printf("  window held: median %.2f ms of each check\n", worstHeld);
    std::printf("  round trip: median %.2f ms (target < 5 ms): %s\n", worst, worst < 5.0 ? "met" : "MISSED");
    w->close();
    delete w;
    std::error_code ec;
    std::filesystem::remove_all(home, ec);
    return worst < 5.0 ? 0 : 1;
}
