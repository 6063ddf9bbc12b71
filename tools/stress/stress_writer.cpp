// A stand-in for the browser writing its syndication database while BrindleX works on it: short
// transactions that add articles, flip unread flags, and add a feed and later remove it again.
//
//   brindlex_stress_writer DATABASE SECONDS LOG
//
// After each successful COMMIT it appends what the transaction made to LOG, one line each:
//   A <article> <feed>   an article that must be in the file at the end (unless its feed was removed)
//   F+ <feed id>         a feed it added
//   F- <feed id>         a feed it removed, with all its articles (their A lines no longer count)
//   E <code> <message>   a failure other than a busy database (the run fails)
// and at the end one line "S key=value ..." with its counts.

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Writer {
    sqlite3* db = nullptr;
    FILE* log = nullptr;
    std::mt19937 rng{20050628};
    std::vector<long long> baseFeeds;   // feeds that were there before the run; never removed
    std::vector<long long> ownFeeds;    // feeds this run added and has not removed yet
    long long nextFeedId = 0;
    long commits = 0, busy = 0, failures = 0, articles = 0, flips = 0, added = 0, removed = 0;

    bool IsBusy(int rc) const { return (rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED; }

    void Fail(int rc, const std::string& where) {
        ++failures;
        std::fprintf(log, "E %d %s: %s\n", rc, where.c_str(), sqlite3_errmsg(db));
        std::fflush(log);
    }

    // Runs one statement; false on failure (busy failures are counted, others logged).
    bool Exec(const std::string& sql) {
        const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK) return true;
        if (IsBusy(rc)) ++busy;
        else Fail(rc, sql);
        return false;
    }

    void Rollback() { sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr); }

    // Everything the browser does is inside BEGIN IMMEDIATE ... COMMIT; the log is written only after COMMIT.
    template <typename Body>
    bool Transaction(Body body, std::vector<std::string>& lines) {
        lines.clear();
        if (!Exec("BEGIN IMMEDIATE")) return false;
        if (!body(lines) || !Exec("COMMIT")) {
            Rollback();
            return false;
        }
        ++commits;
        for (const auto& line : lines) std::fprintf(log, "%s\n", line.c_str());
        std::fflush(log);
        return true;
    }

    long long Pick(const std::vector<long long>& from) {
        return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(rng)];
    }

    bool InsertArticles(long long feed, int count, std::vector<std::string>& lines) {
        for (int i = 0; i < count; ++i) {
            const std::string sql =
                "INSERT INTO Articles (source_id,title,contentType,excerpt,GUID,date,dateReceived,unread,noComments) "
                "VALUES (" + std::to_string(feed) + ",'stress article',0,'written while BrindleX reads','stress-" +
                std::to_string(rng()) + "',strftime('%s','now')-978307200,strftime('%s','now')-978307200,1,0)";
            if (!Exec(sql)) return false;
            lines.push_back("A " + std::to_string(sqlite3_last_insert_rowid(db)) + " " + std::to_string(feed));
        }
        return true;
    }

    void Step(std::vector<std::string>& lines) {
        const int what = std::uniform_int_distribution<int>(0, 99)(rng);
        if (what < 45) {   // new articles in a feed it knows
            const long long feed = Pick(baseFeeds);
            const int count = std::uniform_int_distribution<int>(1, 5)(rng);
            if (Transaction([&](auto& l) { return InsertArticles(feed, count, l); }, lines)) articles += count;
        } else if (what < 85) {   // the user read or unread a few articles in the browser
            const long long feed = Pick(baseFeeds);
            if (Transaction([&](auto&) {
                    return Exec("UPDATE Articles SET unread=1-unread WHERE id IN (SELECT id FROM Articles WHERE "
                                "source_id=" + std::to_string(feed) + " ORDER BY random() LIMIT 3)");
                }, lines))
                ++flips;
        } else if (what < 93 || ownFeeds.empty()) {   // subscribe to a new feed, which comes with articles
            const long long id = nextFeedId;
            if (Transaction([&](auto& l) {
                    const std::string sql =
                        "INSERT INTO Sources (id,URL,subscribed,title,iconURL,homePage,HTTPdate,protocol) VALUES (" +
                        std::to_string(id) + ",'http://127.0.0.1:9/stress" + std::to_string(id) +
                        ".rss',1,'Stress feed " + std::to_string(id) + "','','http://127.0.0.1:9/',"
                        "'Tue, 28 Jun 2005 02:15:00 GMT','RSS')";
                    if (!Exec(sql)) return false;
                    l.push_back("F+ " + std::to_string(id));
                    return InsertArticles(id, 3, l);
                }, lines)) {
                ownFeeds.push_back(id);
                ++nextFeedId;
                ++added;
                articles += 3;
            }
        } else {   // unsubscribe from one it added: its articles go first, then its row
            const std::size_t at = std::uniform_int_distribution<std::size_t>(0, ownFeeds.size() - 1)(rng);
            const long long id = ownFeeds[at];
            if (Transaction([&](auto& l) {
                    if (!Exec("DELETE FROM Articles WHERE source_id=" + std::to_string(id))) return false;
                    if (!Exec("DELETE FROM Sources WHERE id=" + std::to_string(id))) return false;
                    l.push_back("F- " + std::to_string(id));
                    return true;
                }, lines)) {
                ownFeeds.erase(ownFeeds.begin() + static_cast<std::ptrdiff_t>(at));
                ++removed;
            }
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s DATABASE SECONDS LOG\n", argv[0]);
        return 2;
    }
    Writer w;
    w.log = std::fopen(argv[3], "a");
    if (!w.log || sqlite3_open_v2(argv[1], &w.db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "cannot open %s or %s\n", argv[1], argv[3]);
        return 2;
    }
    sqlite3_extended_result_codes(w.db, 1);
    sqlite3_busy_timeout(w.db, 2000);   // the browser waits a little for a reader, then tries again later

    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(w.db, "SELECT id FROM Sources ORDER BY id", -1, &s, nullptr);
    while (sqlite3_step(s) == SQLITE_ROW) w.baseFeeds.push_back(sqlite3_column_int64(s, 0));
    sqlite3_finalize(s);
    if (w.baseFeeds.empty()) {
        std::fprintf(stderr, "no feeds in %s\n", argv[1]);
        return 2;
    }
    w.nextFeedId = w.baseFeeds.back() + 100000;

    const auto end =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(static_cast<long>(std::atof(argv[2]) * 1000));
    std::vector<std::string> lines;
    while (std::chrono::steady_clock::now() < end) {
        w.Step(lines);
        // Bursts of writes with short pauses, as a browser fetching feeds does.
        std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(2, 25)(w.rng)));
    }
    std::fprintf(w.log,
                 "S commits=%ld busy=%ld failures=%ld articles=%ld flips=%ld feeds_added=%ld feeds_removed=%ld\n",
                 w.commits, w.busy, w.failures, w.articles, w.flips, w.added, w.removed);
    std::fclose(w.log);
    sqlite3_close(w.db);
    return w.failures == 0 ? 0 : 1;
}
