// BrindleX against a browser that writes its database at the same time.
//
//   brindlex_stress --db FILE [--seconds 20] [--refresh-ms 1000] [--actions-per-refresh 3]
//                   [--busy-timeout-ms N] [--mode engine|window|both] [--writer PATH]
//
// Starts brindlex_stress_writer on FILE in a second process, and meanwhile does what the program does:
// a refresh every --refresh-ms and, between refreshes, Mark Read and Mark Unread on a feed of the list,
// each followed by its refresh. "engine" runs the feed list and the feed record on a new connection per
// refresh; "window" runs the real main window (GetDBInfo and the action handlers) on the offscreen
// platform, waiting for each to come back from the database worker; "both" gives each half of the time.
// Afterwards it checks: no crash, PRAGMA integrity_check ok, the journal mode unchanged, every row the writer
// committed is there (and every feed it removed is gone), and every failure met on the program's side was a
// busy database. Exit 0 when all held.

#include <QApplication>
#include <QTimer>
#include <sqlite3.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/App.h"
#include "feeds/FeedList.h"
#include "feeds/feed.h"
#include "platform/SqlConnection.h"
#include "tools/bench/AppSupport.h"
#include "tools/bench/BenchSupport.h"
#include "ui/main/Window1.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    std::string db;
    double seconds = 20;
    int refreshMs = 1000;
    int actionsPerRefresh = 3;
    long busyTimeoutMs = -1;   // -1: the program's own
    std::string mode = "both";
    std::string writer;
};

// Everything SQLite reported in this process: the engine's own log sees every failed statement that a
// wrapper might swallow (a refresh goes on after a failed query, Mark Read ignores its outcome).
struct EngineLog {
    std::map<int, long> byCode;
    std::vector<std::string> nonBusy;
};
EngineLog engineLog;

void OnEngineLog(void*, int code, const char* message) {
    const int primary = code & 0xff;
    if (primary == SQLITE_NOTICE || primary == SQLITE_WARNING) return;   // e.g. a hot journal rolled back
    ++engineLog.byCode[code];
    if (primary != SQLITE_BUSY && primary != SQLITE_LOCKED && engineLog.nonBusy.size() < 20)
        engineLog.nonBusy.push_back(std::to_string(code) + " " + (message ? message : ""));
}

struct Figures {
    long refreshes = 0, actions = 0, toggles = 0;
    long busyConnects = 0, busyStatements = 0, shortListings = 0;
    std::vector<std::string> problems;   // failures that were not a busy database, and broken checks

    void Problem(const std::string& text) {
        if (problems.size() < 30) problems.push_back(text);
    }
};

std::string QueryText(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* s = nullptr;
    std::string out;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW) {
        if (const auto* t = sqlite3_column_text(s, 0)) out = reinterpret_cast<const char*>(t);
    }
    sqlite3_finalize(s);
    return out;
}

// A plain connection of the checker's own, outside the program's classes.
struct Inspector {
    sqlite3* db = nullptr;
    explicit Inspector(const std::string& file) {
        sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_busy_timeout(db, 10000);
    }
    ~Inspector() { sqlite3_close(db); }
    std::string Text(const std::string& sql) const { return QueryText(db, sql); }
    long Number(const std::string& sql) const { return std::atol(Text(sql).c_str()); }
};

// The number of list rows (one a feed) at the start; the writer only adds feeds, and removes only its own.
long Groups(const Inspector& in, bool allFeeds) {
    return in.Number(std::string("SELECT count(*) FROM Sources") + (allFeeds ? "" : " WHERE subscribed=1"));
}

struct Baseline {
    long groupsAll = 0, groupsSubscribed = 0;
};

bool StrictTimeout(const Options& o) {
    return SqlConnection::BusyTimeout() >= std::chrono::milliseconds(1000) && o.busyTimeoutMs != 0;
}

// ---- engine: the feed list and the feed record on a fresh connection per refresh ----

class EngineDriver {
public:
    EngineDriver(const Options& o, const Baseline& b, Figures& f) : options_(o), base_(b), figures_(f) {}

    void Refresh() {
        ++figures_.refreshes;
        db_ = std::make_unique<SqlConnection>(options_.db);
        if (!db_->Connect()) {
            Met("Connect");
            return;
        }
        listing_ = ReadFeedList(*db_, allFeeds_);
        const long want = allFeeds_ ? base_.groupsAll : base_.groupsSubscribed;
        if (static_cast<long>(listing_.rows.size()) < want || listing_.numSources.empty()) {
            ++figures_.shortListings;
            // With the program's own busy timeout a refresh outwaits every short write of the browser.
            if (StrictTimeout(options_))
                figures_.Problem("a refresh showed " + std::to_string(listing_.rows.size()) + " rows of at least " +
                                 std::to_string(want));
        }
    }

    void Action(std::mt19937& rng) {
        if (!db_ || !db_->IsConnected() || listing_.rows.empty()) return Refresh();
        ++figures_.actions;
        feed f;
        f.ID = std::to_string(listing_.rows[std::uniform_int_distribution<std::size_t>(0, listing_.rows.size() - 1)(rng)].id);
        if (rng() % 2) f.MarkRead(*db_);
        else f.MarkUnread(*db_);
        if (db_->Error()) Met("Mark " + f.ID);
        Refresh();   // every action is followed by a re-read
    }

    void Toggle() {
        ++figures_.toggles;
        allFeeds_ = !allFeeds_;
        Refresh();
    }

private:
    void Met(const std::string& what) {
        if (db_->IsBusy()) {
            (what == "Connect" ? figures_.busyConnects : figures_.busyStatements)++;
        } else {
            figures_.Problem(what + " failed, not busy: " + std::to_string(db_->ErrorCode()) + " " +
                             db_->ErrorMessage());
        }
    }

    const Options& options_;
    const Baseline& base_;
    Figures& figures_;
    std::unique_ptr<SqlConnection> db_;
    FeedListing listing_;
    bool allFeeds_ = false;
};

// ---- window: the real main window, its GetDBInfo and its action handlers ----
// Each step hands its work to the database worker and returns; the driver lets the event loop run until
// the worker is idle and what it posted has been delivered, and only then looks at the list.

class WindowDriver {
public:
    WindowDriver(const Options& o, const Baseline& b, Figures& f) : options_(o), base_(b), figures_(f) {
        App& a = app();
        previous_ = a.seams;
        a.seams.beep = [] {};
        a.seams.openUrl = [](const QUrl&) {};
        a.seams.message = [this](const QString& text) {
            // The one message a refresh shows is the failed open. No connection comes with it to ask whether
            // it was busy: it counts as a busy open, and the engine's log, which sees every failure, reports
            // any that was not.
            if (text == QLatin1String("The database couldn't be opened.")) {
                ++figures_.busyConnects;
                lastRefreshFailed_ = true;
            } else {
                figures_.Problem("message box: " + text.toStdString());
            }
        };
        a.dbFileName = QString::fromStdString(options_.db);
        a.AutoRefresh = false;
        a.UpdateInterval = 10;
        a.showall = false;
        window_ = Window1::instance();   // builds it and runs its Open: the first GetDBInfo
        window_->Timer1->stop();         // the driver sets the pace; the browser check is not under test
        window_->Timer2->stop();
        Settle();
    }

    void Refresh() {
        ++figures_.refreshes;
        lastRefreshFailed_ = false;
        window_->GetDBInfo(app().showall);
        CheckList();
    }

    void Action(std::mt19937& rng) {
        const int rows = window_->ListCount();
        if (rows == 0) return Refresh();
        ++figures_.actions;
        window_->SetListIndex(std::uniform_int_distribution<int>(0, rows - 1)(rng));
        lastRefreshFailed_ = false;
        if (rng() % 2) window_->bbMarkRead_Action();
        else window_->bbMarkUnread_Action();
        ++figures_.refreshes;   // the handler's own re-read
        CheckList();
    }

    void Toggle() {
        ++figures_.toggles;
        lastRefreshFailed_ = false;
        window_->bbShow_Action();
        ++figures_.refreshes;
        CheckList();
    }

    ~WindowDriver() {
        if (Window1* w = Window1::instance(false)) {
            w->close();
            delete w;
        }
        app().seams = previous_;   // the message seam refers to this driver
    }

private:
    void CheckList() {
        Settle();
        if (lastRefreshFailed_) return;
        const long want = app().showall ? base_.groupsAll : base_.groupsSubscribed;
        if (window_->ListCount() < want) {
            ++figures_.shortListings;
            if (StrictTimeout(options_))
                figures_.Problem("the window listed " + std::to_string(window_->ListCount()) + " rows of at least " +
                                 std::to_string(want));
        }
    }

    void Settle() {
        // A refresh waits at most the busy timeout, a statement as long again; far more means a hang.
        if (!bench::Settle(120000)) figures_.Problem("the database worker did not come back within 120 s");
    }

    const Options& options_;
    const Baseline& base_;
    Figures& figures_;
    Window1* window_ = nullptr;
    bool lastRefreshFailed_ = false;
    Seams previous_;
};

template <typename Driver>
void Drive(Driver& driver, double seconds, const Options& o, std::mt19937& rng) {
    const auto end = Clock::now() + std::chrono::milliseconds(static_cast<long>(seconds * 1000));
    const auto step = std::chrono::milliseconds(o.refreshMs / (o.actionsPerRefresh + 1));
    auto next = Clock::now();
    for (long i = 0; Clock::now() < end; ++i) {
        const long phase = i % (o.actionsPerRefresh + 1);
        if (phase == 0) {
            if (i % (5 * (o.actionsPerRefresh + 1)) == 0 && i > 0) driver.Toggle();
            else driver.Refresh();
        } else {
            driver.Action(rng);
        }
        next += step;
        while (Clock::now() < next) {
            QCoreApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
}

// ---- the writer's log, and what must be in the file because of it ----

struct WriterLog {
    std::map<long long, long long> articles;   // article id -> feed id
    std::set<long long> feedsAdded, feedsRemoved;
    std::vector<std::string> errors;
    std::string summary;
};

WriterLog ReadWriterLog(const std::string& file) {
    WriterLog log;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string kind;
        words >> kind;
        long long id = 0, feedId = 0;
        if (kind == "A" && words >> id >> feedId) log.articles[id] = feedId;
        else if (kind == "F+" && words >> id) log.feedsAdded.insert(id);
        else if (kind == "F-" && words >> id) log.feedsRemoved.insert(id);
        else if (kind == "E") log.errors.push_back(line);
        else if (kind == "S") log.summary = line.substr(2);
    }
    return log;
}

void CheckWriterRows(const Inspector& in, const WriterLog& log, Figures& f) {
    std::set<long long> present;
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(in.db, "SELECT id FROM Articles", -1, &s, nullptr);
    while (sqlite3_step(s) == SQLITE_ROW) present.insert(sqlite3_column_int64(s, 0));
    sqlite3_finalize(s);
    long missing = 0;
    for (const auto& [id, feedId] : log.articles) {
        const bool shouldBeThere = log.feedsRemoved.count(feedId) == 0;
        if (shouldBeThere && !present.count(id)) ++missing;
        if (!shouldBeThere && present.count(id))
            f.Problem("article " + std::to_string(id) + " of a removed feed is still there");
    }
    if (missing) f.Problem(std::to_string(missing) + " committed articles are missing");
    for (long long id : log.feedsAdded) {
        const bool there = in.Number("SELECT count(*) FROM Sources WHERE id=" + std::to_string(id)) == 1;
        if (there == (log.feedsRemoved.count(id) > 0))
            f.Problem("feed " + std::to_string(id) + (there ? " was removed but is there" : " was added but is gone"));
    }
}

Options Parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string k = argv[i], v = argv[i + 1];
        if (k == "--db") o.db = v;
        else if (k == "--seconds") o.seconds = std::atof(v.c_str());
        else if (k == "--refresh-ms") o.refreshMs = std::max(10, std::atoi(v.c_str()));
        else if (k == "--actions-per-refresh") o.actionsPerRefresh = std::max(0, std::atoi(v.c_str()));
        else if (k == "--busy-timeout-ms") o.busyTimeoutMs = std::atol(v.c_str());
        else if (k == "--mode") o.mode = v;
        else if (k == "--writer") o.writer = v;
        else {
            std::fprintf(stderr, "unknown option %s\n", k.c_str());
            std::exit(2);
        }
    }
    if (o.db.empty()) {
        std::fprintf(stderr, "usage: %s --db FILE [--seconds S] [--refresh-ms MS] [--actions-per-refresh N] "
                             "[--busy-timeout-ms MS] [--mode engine|window|both] [--writer PATH]\n", argv[0]);
        std::exit(2);
    }
    if (o.writer.empty())
        o.writer = (std::filesystem::canonical("/proc/self/exe").parent_path() / "brindlex_stress_writer").string();
    o.db = std::filesystem::absolute(o.db).string();
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    // Before anything touches SQLite: the engine's log is configured once, before it initialises.
    sqlite3_config(SQLITE_CONFIG_LOG, OnEngineLog, nullptr);
    const Options o = Parse(argc, argv);
    if (o.busyTimeoutMs >= 0) SqlConnection::SetBusyTimeout(std::chrono::milliseconds(o.busyTimeoutMs));

    Baseline base;
    std::string journalBefore;
    {
        Inspector in(o.db);
        journalBefore = in.Text("PRAGMA journal_mode");
        base.groupsAll = Groups(in, true);
        base.groupsSubscribed = Groups(in, false);
        if (journalBefore.empty() || base.groupsAll == 0) {
            std::fprintf(stderr, "%s is no syndication database with feeds\n", o.db.c_str());
            return 2;
        }
    }

    // The window needs a home of its own: preferences, caches and the (absent) browser-control script.
    const std::string home = bench::MakeOffscreenHome("stress");
    bench::ToolApp application(argv[0], home);

    const std::string writerLog = home + "/writer.log";
    const std::string seconds = std::to_string(o.seconds);
    char* writerArgv[] = {const_cast<char*>(o.writer.c_str()), const_cast<char*>(o.db.c_str()),
                          const_cast<char*>(seconds.c_str()), const_cast<char*>(writerLog.c_str()), nullptr};
    pid_t writer = 0;
    if (posix_spawn(&writer, o.writer.c_str(), nullptr, nullptr, writerArgv, environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", o.writer.c_str());
        return 2;
    }

    Figures figures;
    std::mt19937 rng(1128);
    const auto started = Clock::now();
    if (o.mode == "engine" || o.mode == "both") {
        EngineDriver engine(o, base, figures);
        Drive(engine, o.mode == "both" ? o.seconds / 2 : o.seconds, o, rng);
    }
    if (o.mode == "window" || o.mode == "both") {
        WindowDriver window(o, base, figures);
        Drive(window, o.mode == "both" ? o.seconds / 2 : o.seconds, o, rng);
    }
    app().db->Stop();   // the worker's last connection goes before the checks read the file

    int status = 0;
    waitpid(writer, &status, 0);
    const double elapsed = std::chrono::duration<double>(Clock::now() - started).count();
    const WriterLog log = ReadWriterLog(writerLog);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        figures.Problem("the writer failed (status " + std::to_string(status) + ")");
    for (const auto& e : log.errors) figures.Problem("writer: " + e);
    for (const auto& e : engineLog.nonBusy) figures.Problem("engine reported " + e);

    std::string integrity, journalAfter;
    {
        Inspector in(o.db);
        integrity = in.Text("PRAGMA integrity_check");
        journalAfter = in.Text("PRAGMA journal_mode");
        CheckWriterRows(in, log, figures);
    }
    if (integrity != "ok") figures.Problem("integrity_check: " + integrity);
    if (journalAfter != journalBefore) figures.Problem("journal mode " + journalBefore + " became " + journalAfter);

    long engineBusy = 0;
    for (const auto& [code, n] : engineLog.byCode)
        if ((code & 0xff) == SQLITE_BUSY || (code & 0xff) == SQLITE_LOCKED) engineBusy += n;
    std::printf("stress: %.1f s, mode %s, busy timeout %lld ms, refresh every %d ms\n", elapsed, o.mode.c_str(),
                static_cast<long long>(SqlConnection::BusyTimeout().count()), o.refreshMs);
    std::printf("  program: %ld refreshes, %ld mark read/unread, %ld show toggles; busy: %ld opens, %ld statements, "
                "%ld reported by the engine; %ld short listings\n",
                figures.refreshes, figures.actions, figures.toggles, figures.busyConnects, figures.busyStatements,
                engineBusy, figures.shortListings);
    std::printf("  writer: %s; %zu committed articles checked, %zu feeds added, %zu removed\n", log.summary.c_str(),
                log.articles.size(), log.feedsAdded.size(), log.feedsRemoved.size());
    std::printf("  file: integrity_check %s, journal mode %s -> %s\n", integrity.c_str(), journalBefore.c_str(),
                journalAfter.c_str());
    std::error_code ec;
    std::filesystem::remove_all(home, ec);
    if (!figures.problems.empty()) {
        for (const auto& p : figures.problems) std::printf("  FAILED: %s\n", p.c_str());
        return 1;
    }
    std::printf("  every check held\n");
    return 0;
}
