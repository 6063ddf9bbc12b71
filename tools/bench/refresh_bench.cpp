// The main window's whole refresh against the feed list's read alone.
//
//   brindlex_bench_refresh DATABASE [ROUNDS] [--no-target]
//
// Program: Window1::GetDBInfo(allFeeds, then) on the offscreen platform, from the call to `then`: the
// request to the database worker, a new connection and the list's read there, the result delivered
// through the event loop, the list filled, the totals set and row 0 selected. The tool runs the event
// loop meanwhile. Before each round another connection commits a change that changes nothing shown, so the
// worker reads the file again rather than giving its last list. Engine: a new connection and ReadFeedList
// alone. Rounds alternate the two so that a noisy machine weighs on both alike; the ratio is of the medians
// of this one run: what the window adds. On a small database the fixed costs (the trip to the worker and
// back, the window's own work) outweigh the read; --no-target reports it without the ratio's target.

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QTreeWidget>
#include <sqlite3.h>

#include <cstdio>
#include <string>

#include "app/App.h"
#include "feeds/FeedList.h"
#include "platform/SqlConnection.h"
#include "tools/bench/AppSupport.h"
#include "tools/bench/BenchSupport.h"
#include "ui/main/Window1.h"

namespace {

struct EngineResult {
    std::size_t rows = 0;
};

EngineResult EngineRefresh(const std::string& file, bool allFeeds) {
    SqlConnection db(file);
    if (!db.Connect()) {
        std::fprintf(stderr, "cannot open %s\n", file.c_str());
        std::exit(2);
    }
    return {ReadFeedList(db, allFeeds).rows.size()};
}

// A commit that changes nothing the list shows, so the next refresh cannot take the file as unchanged.
void Touch(const std::string& file) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_busy_timeout(db, 10000);
    sqlite3_exec(db, "UPDATE Sources SET lastCheck=lastCheck+1 WHERE id=(SELECT min(id) FROM Sources)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DATABASE [ROUNDS] [--no-target]\n", argv[0]);
        return 2;
    }
    const std::string file = std::filesystem::absolute(argv[1]).string();
    const int rounds = argc > 2 ? std::max(3, std::atoi(argv[2])) : 15;
    const bool target = !(argc > 3 && std::string(argv[3]) == "--no-target");
    const std::string home = bench::MakeOffscreenHome("bench-refresh");

    bench::ToolApp application(argv[0], home);
    App& a = app();
    a.seams.beep = [] {};
    a.seams.message = [](const QString& text) {
        std::fprintf(stderr, "message box: %s\n", text.toUtf8().constData());
        std::exit(1);
    };
    a.dbFileName = QString::fromStdString(file);
    a.AutoRefresh = false;
    a.UpdateInterval = 10;
    Window1* w = Window1::instance();
    w->Timer1->stop();
    w->Timer2->stop();
    if (!bench::Settle()) {
        std::fprintf(stderr, "the window's first refresh did not come back\n");
        return 2;
    }

    int status = 0;
    for (bool allFeeds : {true, false}) {
        std::vector<double> program, engine, afterwards;
        EngineResult er;
        for (int i = -2; i < rounds; ++i) {   // two warm-up rounds
            double e = 0, p = 0, later = 0;
            auto engineRound = [&] {
                const auto t = bench::Clock::now();
                er = EngineRefresh(file, allFeeds);
                e = bench::MsSince(t);
            };
            auto programRound = [&] {
                bench::Settle();   // nothing of the last round left on the worker or in the queue
                Touch(file);
                bool done = false;
                const auto t = bench::Clock::now();
                w->GetDBInfo(allFeeds, [&] {
                    p = bench::MsSince(t);
                    done = true;
                });
                if (!bench::RunUntil([&] { return done; })) {
                    std::fprintf(stderr, "GetDBInfo did not come back within a minute\n");
                    std::exit(2);
                }
                // What the refresh starts after it (row 0's detail read on the worker, layout and painting
                // of the new rows), apart.
                const auto after = bench::Clock::now();
                bench::Settle();
                later = bench::MsSince(after);
            };
            // Taking turns at going first, so that neither always finds the caches as the other left them.
            if (i % 2) {
                engineRound();
                programRound();
            } else {
                programRound();
                engineRound();
            }
            if (i >= 0) {
                engine.push_back(e);
                program.push_back(p);
                afterwards.push_back(later);
            }
        }
        if (static_cast<std::size_t>(w->ListCount()) != er.rows) {
            std::fprintf(stderr, "the window lists %d rows, the read gave %zu\n", w->ListCount(), er.rows);
            return 1;
        }
        const auto ps = bench::Summarise(program), es = bench::Summarise(engine), as = bench::Summarise(afterwards);
        const double ratio = ps.median / es.median;
        std::printf("refresh, %s: %zu rows, totals %s / %s / %s\n", allFeeds ? "all feeds" : "subscribed only", er.rows,
                    w->stNumSources->text().toUtf8().constData(), w->stNumArticles->text().toUtf8().constData(),
                    w->stNumUnread->text().toUtf8().constData());
        std::printf("  GetDBInfo to then %s\n", bench::Describe(ps).c_str());
        std::printf("  ReadFeedList only %s\n", bench::Describe(es).c_str());
        std::printf("  detail and events %s (after then; not counted)\n", bench::Describe(as).c_str());
        if (!target) {
            std::printf("  ratio %.3f (no target on this database)\n", ratio);
            continue;
        }
        std::printf("  ratio %.3f (target <= 1.10): %s\n", ratio, ratio <= 1.10 ? "met" : "MISSED");
        if (ratio > 1.10) status = 1;
    }
    delete w;
    std::error_code ec;
    std::filesystem::remove_all(home, ec);
    return status;
}
