// How long the window is blocked by one browser check: App::CheckBrowser (the script through ScriptRunner,
// its reply read, the button's caption set) with the given script, against starting /bin/true the same way.
//
//   brindlex_bench_browsercheck SCRIPT [CHECKS]

#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <string>

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
    const auto floor = time(QStringLiteral("/bin/true"), checks / 2);
    const auto check = time(script, checks);
    const char* browser = std::getenv("BROWSER");
    const std::string browserText = browser ? "BROWSER=" + std::string(browser) : "BROWSER unset";
    std::printf("browser check with %s, %s, %zu processes (reply: %s, caption \"%s\")\n", argv[1], browserText.c_str(),
                ProcessCount(), a.SafariRunning ? "true" : "not true", w->bbSafari->text().toUtf8().constData());
    std::printf("  CheckBrowser        %s\n", bench::Describe(check).c_str());
    std::printf("  same with /bin/true %s (starting a process at all)\n", bench::Describe(floor).c_str());
    std::printf("  median %.2f ms (target < 5 ms): %s\n", check.median, check.median < 5.0 ? "met" : "MISSED");
    w->close();
    delete w;
    std::error_code ec;
    std::filesystem::remove_all(home, ec);
    return check.median < 5.0 ? 0 : 1;
}
