// How long the browser waits to commit while the program refreshes its list.
//
//   brindlex_bench_writerwait DATABASE [SECONDS] [--interval S]
//
// A writer in a process of its own stands in for the browser on a rollback-journal database: every 20 ms it
// flips one article's unread flag in a transaction (BEGIN IMMEDIATE, UPDATE, COMMIT). It sets no busy time-out
// of the engine's: it retries by itself every millisecond, and its wait is the time from a step's first try to
// the try that went through, the time another's lock really held it up (its own writing is not counted). Meanwhile this process refreshes every S seconds (default 4), for SECONDS (default 60) each way:
//   before  the statements the refresh ran before (a summary grouped by title and three totals), each its own
//           read on a new connection
//   now     the refresh: a new connection and ReadFeedList, the list and the totals in one read transaction
// Reported: the writer's waits (median, 99th percentile, longest) and the refresh's statements (median).
// Target: the writer's longest wait at most twice one refresh's statements (median), now. Exits 1 if missed.

#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "feeds/FeedList.h"
#include "platform/SqlConnection.h"
#include "tools/bench/BenchSupport.h"

namespace {

using namespace std::chrono_literals;

bool Busy(int rc) { return (rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED; }

// The writer's loop, in the child process; its waits in ms go to out, one a line.
[[noreturn]] void Write(const std::string& file, double seconds, FILE* out) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) std::_Exit(2);
    const long long articles = [&] {
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db, "SELECT max(id) FROM Articles", -1, &s, nullptr);
        long long n = 0;
        while (sqlite3_step(s) == SQLITE_BUSY) std::this_thread::sleep_for(1ms);
        n = sqlite3_column_int64(s, 0);
        sqlite3_finalize(s);
        return n;
    }();
    std::mt19937 rng(2005);
    const auto end = bench::Clock::now() + std::chrono::duration<double>(seconds);
    auto next = bench::Clock::now();
    // Retries a step every millisecond while another connection's lock keeps it out; the time from its first
    // try to the one that went through is time waited (its own writing to the disk is not).
    double waited = 0;
    const auto until = [db, &waited](const std::string& sql) {
        const auto first = bench::Clock::now();
        auto last = first;
        int rc;
        while (Busy(rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr))) {
            std::this_thread::sleep_for(1ms);
            last = bench::Clock::now();
        }
        waited += std::chrono::duration<double, std::milli>(last - first).count();
        return rc;
    };
    while (bench::Clock::now() < end) {
        std::this_thread::sleep_until(next);
        next += 20ms;
        waited = 0;
        const std::string id = std::to_string(std::uniform_int_distribution<long long>(1, std::max(1LL, articles))(rng));
        if (until("BEGIN IMMEDIATE") != SQLITE_OK || until("UPDATE Articles SET unread=1-unread WHERE id=" + id) != SQLITE_OK ||
            until("COMMIT") != SQLITE_OK) {
            std::fprintf(stderr, "the writer failed: %s\n", sqlite3_errmsg(db));
            std::_Exit(2);
        }
        std::fprintf(out, "%.3f\n", waited);
    }
    std::fclose(out);
    sqlite3_close(db);
    std::_Exit(0);
}

struct Phase {
    std::vector<double> waits, refreshes;
};

Phase Run(const std::string& file, double seconds, double interval, bool before) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) std::exit(2);
    const pid_t child = fork();
    if (child == 0) {
        close(pipeFds[0]);
        Write(file, seconds, fdopen(pipeFds[1], "w"));
    }
    close(pipeFds[1]);
    Phase phase;
    const auto end = bench::Clock::now() + std::chrono::duration<double>(seconds);
    std::thread refresher([&] {
        for (auto next = bench::Clock::now() + 1s; next < end; next += std::chrono::duration_cast<bench::Clock::duration>(
                                                                    std::chrono::duration<double>(interval))) {
            std::this_thread::sleep_until(next);
            SqlConnection db(file);
            if (!db.Connect()) continue;
            const auto start = bench::Clock::now();
            if (before) {
                const std::string articles = " WHERE Articles.source_id IN (SELECT Sources.id FROM Sources WHERE Sources.subscribed=1)";
                for (const std::string& sql :
                     {std::string("SELECT Sources.title, Count(Articles.id) AS numberofarticles, Sum(Articles.unread) AS "
                                  "unreadcount, Sources.id,Sources.subscribed, Sources.iconURL FROM Sources left JOIN Articles "
                                  "ON Sources.ID = Articles.source_id WHERE Sources.subscribed=1 GROUP BY Sources.title"),
                      std::string("SELECT count(Sources.title) as CountOfSources FROM Sources WHERE Sources.subscribed=1"),
                      "SELECT count(Articles.id) as CountOfArticles FROM Articles" + articles,
                      "SELECT sum(Articles.unread) as CountOfUnread FROM Articles" + articles}) {
                    for (auto cursor = db.Select(sql); cursor && !cursor->AtEnd(); cursor->MoveNext()) cursor->Column(1);
                }
            } else {
                ReadFeedList(db, false);
            }
            phase.refreshes.push_back(bench::MsSince(start));
        }
    });
    FILE* in = fdopen(pipeFds[0], "r");
    for (double ms; std::fscanf(in, "%lf", &ms) == 1;) phase.waits.push_back(ms);
    std::fclose(in);
    refresher.join();
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::exit(2);
    return phase;
}

double Percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())))];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DATABASE [SECONDS] [--interval S]\n", argv[0]);
        return 2;
    }
    const std::string file = argv[1];
    const double seconds = argc > 2 && argv[2][0] != '-' ? std::atof(argv[2]) : 60;
    double interval = 4;
    for (int i = 2; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--interval") == 0) interval = std::atof(argv[i + 1]);

    int status = 0;
    for (const bool before : {true, false}) {
        const Phase p = Run(file, seconds, interval, before);
        const auto waits = bench::Summarise(p.waits), refreshes = bench::Summarise(p.refreshes);
        std::printf("%s: %zu commits, %zu refreshes of the subscribed feeds every %.0f s for %.0f s\n",
                    before ? "before (five statements, each its own read)" : "now (one read transaction)", waits.n,
                    refreshes.n, interval, seconds);
        std::printf("  the writer's wait      median %.2f ms, 99th percentile %.2f ms, longest %.2f ms\n", waits.median,
                    Percentile(p.waits, 0.99), waits.max);
        std::printf("  a refresh's statements %s\n", bench::Describe(refreshes).c_str());
        if (!before) {
            const bool met = waits.max <= 2 * refreshes.median;
            std::printf("  longest wait %.2f ms, twice a refresh's statements %.2f ms: %s\n", waits.max,
                        2 * refreshes.median, met ? "met" : "MISSED");
            if (!met) status = 1;
        }
    }
    return status;
}
