// How long the window is blocked by one browser check: App::CheckBrowser (the script through ScriptRunner,
// its reply read, the button's caption set) with the given script, against starting /bin/true the same way.
// When $BROWSER names a program this machine does not have, a stand-in of that name (a copy of sleep) goes on
// PATH, so that the script has a real program to look for; the check is then timed with it stopped and running.
//
//   brindlex_bench_browsercheck SCRIPT [CHECKS]

#include <QApplication>
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

    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    App application(qtArgc, qtArgv);
    App& a = app();
    a.dbFileName = QString::fromStdString(home + "/no-database");
    a.seams.beep = [] {};
    a.seams.message = [](const QString&) {};
    a.AutoRefresh = false;
    Window1* w = Window1::instance();
    w->Timer1->stop();
    w->Timer2->stop();
    QCoreApplication::processEvents();

    auto time = [&](const QString& path, int n) {
        a.script().SetScriptPath(path);
        std::vector<double> v;
        for (int i = -3; i < n; ++i) {
            const auto t = bench::Clock::now();
            a.CheckBrowser();
            const double ms = bench::MsSince(t);
            if (i >= 0) v.push_back(ms);
            QCoreApplication::processEvents();
        }
        return bench::Summarise(v);
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
    std::printf("  %-19s %s %s\n", standIn.empty() ? "CheckBrowser" : "not running", bench::Describe(check).c_str(),
                reply().c_str());
    double worst = check.median;
    if (!standIn.empty()) {
        pid_t pid = 0;
        std::string name = std::filesystem::path(standIn).filename().string(), seconds = "600";
        char* args[] = {name.data(), seconds.data(), nullptr};
        if (posix_spawn(&pid, standIn.c_str(), nullptr, nullptr, args, environ) == 0) {
            const auto running = time(script, checks);
            std::printf("  %-19s %s %s\n", "running", bench::Describe(running).c_str(), reply().c_str());
            worst = std::max(worst, running.median);
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
    std::printf("  same with /bin/true %s (starting a process at all)\n", bench::Describe(floor).c_str());
    std::printf("  median %.2f ms (target < 5 ms): %s\n", worst, worst < 5.0 ? "met" : "MISSED");
    w->close();
    delete w;
    std::error_code ec;
    std::filesystem::remove_all(home, ec);
    return worst < 5.0 ? 0 : 1;
}
