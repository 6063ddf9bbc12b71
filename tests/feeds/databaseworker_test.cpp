// The database worker on real fixture files: jobs in the order asked, refreshes merged while they wait,
// results carried back by the owner's post function, and a stop that cuts a busy wait short.
#include "feeds/DatabaseWorker.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <fstream>
#include <future>
#include <mutex>
#include <thread>

#include "feeds/feed.h"
#include "tests/support/FixtureDb.h"
#include "tests/support/SqlTestHelpers.h"

namespace {

// Stands in for the window's event loop: a continuation runs as it arrives, under the lock the test waits with.
struct Inbox {
    DatabaseWorker::Post Post() {
        return [this](std::function<void()> then) {
            std::lock_guard<std::mutex> lock(mutex);
            then();
            arrived.notify_all();
        };
    }
    /// Whether done() came to hold within the limit.
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s) {
        std::unique_lock<std::mutex> lock(mutex);
        return arrived.wait_for(lock, limit, done);
    }
    std::mutex mutex;
    std::condition_variable arrived;
};

// A fixture file and a worker; `seen` outlives the worker, whose thread may still report into it.
struct DatabaseWorkerTest : ::testing::Test {
    FixtureDb db;
    Inbox inbox;
    std::vector<std::string> seen;
    DatabaseWorker worker{inbox.Post()};
};

// Each refresh on the file named, the jobs after it on its connection, in the order asked; a file that cannot
// be opened gives a result that says so, and is neither made nor changed.
TEST_F(DatabaseWorkerTest, RunsEachRefreshAndJobInTheOrderAskedOnTheLastRefreshsConnection) {
    const std::string empty = db.folder() + "/Empty3", missing = db.folder() + "/none/Database3";
    std::ofstream(empty).flush();
    for (const std::string& path : {empty, missing, db.path()}) {
        worker.Refresh(path, false, [&](const RefreshResult& r) {
            seen.push_back((r.opened ? "opened " : "failed ") + std::to_string(r.listing.rows.size()) + " " + r.error);
        });
        // Each failing one is waited for, so the next does not join it; the last is not, so the job waits behind it.
        if (path != db.path()) {
            ASSERT_TRUE(inbox.RunUntil([&] { return seen.size() == (path == empty ? 1u : 2u); }));
        }
    }
    worker.Run<bool>([](SqlConnection& c) { feed f; f.ID = "1"; f.MarkRead(c); return !c.Error(); },
                     [&](bool ok) { seen.push_back(ok ? "marked" : "failed"); });
    ASSERT_TRUE(inbox.RunUntil([&] { return seen.size() == 4; }));
    EXPECT_EQ(seen, (std::vector<std::string>{"failed 0 the file is empty", "failed 0 unable to open database file", "opened 5 ", "marked"}));
    EXPECT_EQ(db.state(), "2003:1 2101:0 2102:0 2103:1 2104:0 2105:1 / 1 2 3 4 6 7 8");
    EXPECT_TRUE(!std::filesystem::exists(missing) && std::filesystem::file_size(empty) == 0) << "neither made nor changed";
}

// A file in which nothing was committed since the last refresh gives that refresh's list again, unread; every
// commit shows, one that keeps the file's size too, as do another mode, another file at the path and WAL mode.
TEST_F(DatabaseWorkerTest, AnUnchangedFileIsNotReadAgainAndEveryCommitShows) {
    FixtureDb other;
    const auto refresh = [&](bool allFeeds) {
        const std::size_t before = seen.size();
        worker.Refresh(db.path(), allFeeds, [&](const RefreshResult& r) {
            seen.push_back(std::string(r.unchanged ? "unchanged " : "read ") + std::to_string(r.listing.rows.size()) +
                           " " + r.listing.numUnread);
        });
        EXPECT_TRUE(inbox.RunUntil([&] { return seen.size() > before; }));
    };
    refresh(false);
    refresh(false);
    const auto sized = std::filesystem::file_size(db.path());
    ASSERT_TRUE(db.exec("UPDATE Articles SET unread=0 WHERE id=2102"));
    EXPECT_EQ(std::filesystem::file_size(db.path()), sized);
    refresh(false);
    refresh(false);
    refresh(true);
    ASSERT_TRUE(other.exec("UPDATE Articles SET unread=0"));   // the same feeds, another file moved over the path
    std::filesystem::rename(other.path(), db.path());
    refresh(true);
    ASSERT_TRUE(db.exec("PRAGMA journal_mode=WAL"));
    refresh(true);
    refresh(true);
    EXPECT_EQ(seen, (std::vector<std::string>{"read 5 3", "unchanged 5 3", "read 5 2", "unchanged 5 2", "read 7 3",
                                              "read 7 0", "read 7 0", "read 7 0"}));
}

TEST_F(DatabaseWorkerTest, MergesTheRefreshesAskedForWhileOneRunsAndStopCutsABusyWaitShortWritingNothing) {
    auto browser = Connected(db.path());   // the first refresh waits on the browser's lock meanwhile
    ASSERT_TRUE(browser->Execute("BEGIN EXCLUSIVE"));
    const auto note = [&](std::string who) {
        return [&, who](const RefreshResult& r) { seen.push_back(who + (r.allFeeds ? " all #" : " subscribed #") + std::to_string(r.id)); };
    };
    worker.Refresh(db.path(), false, note("a"));
    ASSERT_TRUE(Within([&] { return worker.Waiting() == 0; }));   // a has started
    worker.Refresh(db.path(), false, note("b"));
    worker.Refresh(db.path(), true, note("c"));
    browser->Execute("ROLLBACK");
    ASSERT_TRUE(inbox.RunUntil([&] { return seen.size() == 3; }));
    EXPECT_EQ(seen, (std::vector<std::string>{"a subscribed #1", "b all #2", "c all #2"}));

    // Quitting while a statement waits for the browser's lock: the wait is cut short, what waits is dropped and
    // nothing is written, even once the lock goes.
    ASSERT_TRUE(browser->Execute("BEGIN EXCLUSIVE"));
    BusyTimeout longWait(60s);   // without the interrupt, Stop would wait a minute
    worker.Run<bool>([](SqlConnection& c) { feed f; f.MarkAllRead(c); return !c.Error(); }, [&](bool) { seen.push_back("ran"); });
    worker.Run<bool>([](SqlConnection& c) { feed f; f.ID = "7"; f.MarkRead(c); return true; }, {});
    ASSERT_TRUE(Within([&] { return worker.Waiting() == 1; }));   // the first has started, and waits
    auto stopped = std::async(std::launch::async, [&] { worker.Stop(); });
    EXPECT_EQ(stopped.wait_for(10s), std::future_status::ready) << "Stop waited for the browser's lock";
    browser->Execute("ROLLBACK");
    EXPECT_EQ(db.state(), FixtureDb::kState);
    EXPECT_EQ(seen.size(), 3u) << "no result after the stop (the thread is joined: none can come later)";
    EXPECT_TRUE(worker.Idle()) << "what waited was dropped";
    worker.Refresh(db.path(), false, [](const RefreshResult&) { ADD_FAILURE() << "ran after the stop"; });
}

}  // namespace
