// How long the window's thread goes without answering while the program runs as a user has it: the App
// and the main window on the offscreen platform with their real timers, refreshing automatically, checking
// the browser each second. A 5 ms timer on the window's thread records how late each firing comes.
//
//   brindlex_bench_responsiveness DATABASE SECONDS [--interval 4] [--script PATH] [--lock] [--quiet]
//                                 [--target-ms 50]
//
//   --interval N   Auto-Update every N seconds (0: manual mode, the browser watched each second)
//   --script PATH  the browser-control script (default: none there, so each check ends at once)
//   --lock         another connection holds the database locked (BEGIN EXCLUSIVE) the whole time
//   --quiet        the window's timers stopped: what the machine alone does to the probe
//   --target-ms    the longest stall allowed; exit 1 when it was longer
//   --stalls       also lists each stall longer than a frame (16 ms), with when it ended
//
// Lateness of a firing: the time since the previous one less the 5 ms it should be. Reported: the longest
// stall (the greatest lateness, a stall still under way at the end included), the share of the run spent
// in gaps later than 50 ms, and the 99th percentile of the lateness. Message boxes are counted, not shown.

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/App.h"
#include "app/BrowserControl.h"
#include "platform/ScriptRunner.h"
#include "tools/bench/AppSupport.h"
#include "tools/bench/BenchSupport.h"
#include "ui/main/Window1.h"

namespace {

constexpr double kPeriodMs = 5;
constexpr double kFrozenMs = 50;   // later than this, the window has visibly stopped answering

struct Options {
    std::string db;
    double seconds = 10;
    int interval = 4;
    std::string script;
    bool lock = false;
    bool quiet = false;
    bool stalls = false;
    double targetMs = -1;
};

Options Parse(int argc, char** argv) {
    Options o;
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s DATABASE SECONDS [--interval N] [--script PATH] [--lock] [--quiet] "
                             "[--target-ms MS] [--stalls]\n", argv[0]);
        std::exit(2);
    }
    o.db = std::filesystem::absolute(argv[1]).string();
    o.seconds = std::max(1.0, std::atof(argv[2]));
    for (int i = 3; i < argc; ++i) {
        const std::string k = argv[i];
        const bool hasValue = i + 1 < argc;
        if (k == "--interval" && hasValue) o.interval = std::atoi(argv[++i]);
        else if (k == "--script" && hasValue) o.script = std::filesystem::absolute(argv[++i]).string();
        else if (k == "--target-ms" && hasValue) o.targetMs = std::atof(argv[++i]);
        else if (k == "--lock") o.lock = true;
        else if (k == "--quiet") o.quiet = true;
        else if (k == "--stalls") o.stalls = true;
        else {
            std::fprintf(stderr, "unknown option %s\n", k.c_str());
            std::exit(2);
        }
    }
    return o;
}

// The timer on the window's thread, and what it saw.
class Probe : public QObject {
public:
    void Start() {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(static_cast<int>(kPeriodMs));
        connect(&timer_, &QTimer::timeout, this, [this] { Fire(); });
        start_ = last_ = bench::Clock::now();
        counter_ = app().Counter;
        timer_.start();
    }
    void Stop() {
        timer_.stop();
        end_ = bench::Clock::now();
        const double gap = Ms(last_, end_);
        if (gap > kPeriodMs) Record(gap, end_);   // a stall under way when the run ended counts as far as it went
    }

    double Seconds() const { return Ms(start_, end_) / 1000; }
    std::size_t Firings() const { return lateness_.size(); }
    long Refreshes() const { return refreshes_; }
    double Longest() const { return longest_; }
    double FrozenShare() const { return frozenMs_ / Ms(start_, end_); }
    long FrozenFirings() const { return frozenFirings_; }
    /// (seconds into the run when it ended, lateness in ms) of each firing later than a frame
    const std::vector<std::pair<double, double>>& Stalls() const { return stalls_; }
    double Percentile(double p) const {
        std::vector<double> v = lateness_;
        if (v.empty()) return 0;
        std::sort(v.begin(), v.end());
        return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())))];
    }

private:
    static double Ms(bench::Clock::time_point from, bench::Clock::time_point to) {
        return std::chrono::duration<double, std::milli>(to - from).count();
    }
    void Fire() {
        const auto now = bench::Clock::now();
        Record(Ms(last_, now), now);
        last_ = now;
        // The countdown goes back to 0 when a refresh has come in.
        if (app().Counter < counter_) ++refreshes_;
        counter_ = app().Counter;
    }
    void Record(double gap, bench::Clock::time_point at) {
        const double late = std::max(0.0, gap - kPeriodMs);
        lateness_.push_back(late);
        if (late > 16) stalls_.emplace_back(Ms(start_, at) / 1000, late);
        longest_ = std::max(longest_, late);
        if (late > kFrozenMs) {
            frozenMs_ += gap;
            ++frozenFirings_;
        }
    }

    QTimer timer_;
    bench::Clock::time_point start_, last_, end_;
    std::vector<double> lateness_;
    std::vector<std::pair<double, double>> stalls_;
    double longest_ = 0, frozenMs_ = 0;
    long frozenFirings_ = 0, refreshes_ = 0;
    std::int32_t counter_ = 0;
};

// A connection of another program holding the database: no one else reads it while this lives.
struct Lock {
    std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db{nullptr, &sqlite3_close};
    explicit Lock(const std::string& file) {
        sqlite3* handle = nullptr;
        sqlite3_open_v2(file.c_str(), &handle, SQLITE_OPEN_READWRITE, nullptr);
        db.reset(handle);
        if (sqlite3_exec(handle, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) != SQLITE_OK) {
            std::fprintf(stderr, "cannot lock %s: %s\n", file.c_str(), sqlite3_errmsg(handle));
            std::exit(2);
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    const Options o = Parse(argc, argv);
    const std::string home = bench::MakeOffscreenHome("bench-responsive");
    std::unique_ptr<Lock> lock;
    if (o.lock) lock = std::make_unique<Lock>(o.db);

    bench::ToolApp application(argv[0], home);
    App& a = app();
    if (!o.script.empty()) a.browser().Runner().SetScriptPath(QString::fromStdString(o.script));
    long messages = 0;
    a.seams.message = [&messages](const QString&) { ++messages; };   // a box nobody would click here
    a.seams.beep = [] {};
    a.dbFileName = QString::fromStdString(o.db);
    a.AutoRefresh = o.interval > 0;
    a.UpdateInterval = o.interval;

    Window1* w = Window1::instance();   // built, opened (its first refresh asked for) and shown
    if (o.quiet) {
        w->Timer1->stop();
        w->Timer2->stop();
    }
    // The window's first showing (fonts, the first layout) is start-up, not what is measured here.
    QCoreApplication::processEvents();

    Probe probe;
    probe.Start();
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(o.seconds * 1000), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
    probe.Stop();

    std::string what = o.quiet ? "timers stopped"
                       : o.interval > 0 ? "Auto-Update every " + std::to_string(o.interval) + " s"
                                        : "manual mode";
    if (o.lock) what += ", the database locked by another connection";
    std::printf("responsiveness on %s, %s, browser-control %s: %.1f s\n",
                std::filesystem::path(o.db).filename().c_str(), what.c_str(),
                o.script.empty() ? "missing" : std::filesystem::path(o.script).filename().c_str(), probe.Seconds());
    std::printf("  %ld refreshes came in, %ld message boxes; %zu firings of a %.0f ms timer\n", probe.Refreshes(),
                messages, probe.Firings(), kPeriodMs);
    std::printf("  longest stall %.1f ms, frozen %.1f%% of the time (%ld firings later than %.0f ms), "
                "lateness p99 %.1f ms, median %.2f ms\n",
                probe.Longest(), 100 * probe.FrozenShare(), probe.FrozenFirings(), kFrozenMs, probe.Percentile(0.99),
                probe.Percentile(0.5));
    if (o.stalls)
        for (const auto& [at, late] : probe.Stalls()) std::printf("    stall of %.1f ms ending at %.3f s\n", late, at);
    int status = 0;
    if (o.targetMs >= 0) {
        const bool met = probe.Longest() <= o.targetMs;
        std::printf("  longest stall %.1f ms (target <= %.0f ms; aim 16 ms, a frame): %s\n", probe.Longest(),
                    o.targetMs, met ? "met" : "MISSED");
        status = met ? 0 : 1;
    }
    w->close();
    delete w;
    std::error_code ec;
    std::filesystem::remove_all(home, ec);
    return status;
}
