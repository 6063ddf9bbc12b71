// The database worker on real fixture files: jobs in the order asked, refreshes merged while they wait,
// results carried back by the owner's post function, and a stop that cuts a busy wait short.
#include "feeds/DatabaseWorker.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <fstream>
#include <mutex>
#include <optional>

#include "feeds/feed.h"
#include "tests/support/FixtureDb.h"
#include "tests/support/SqlTestHelpers.h"

namespace {

// Stands in for the window's event loop: continuations queue here and run when the test says.
class Inbox {
public:
    DatabaseWorker::Post Post() {
        return [this](std::function<void()> then) {
            std::lock_guard<std::mutex> lock(mutex_);
            waiting_.push_back(std::move(then));
            arrived_.notify_all();
        };
    }
    /// Runs continuations as they arrive until done() holds; false when it did not within the limit.
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            std::unique_lock<std::mutex> lock(mutex_);
            if (!arrived_.wait_until(lock, end, [&] { return !waiting_.empty(); })) return false;
            auto run = std::move(waiting_);
            waiting_.clear();
            lock.unlock();
            for (auto& then : run) then();
        }
        return true;
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<std::function<void()>> waiting_;
};

// Holds the browser's write lock on the file until released.
struct BrowserLock {
    explicit BrowserLock(const std::string& path) : db(Connected(path)) { EXPECT_TRUE(db->Execute("BEGIN EXCLUSIVE")); }
    void Release() { db->Execute("ROLLBACK"); }
    std::unique_ptr<SqlConnection> db;
};

std::function<std::string(SqlConnection&)> Unread(const char* id) {
    return [id](SqlConnection& db) {
        auto c = db.Select(std::string("SELECT sum(unread) FROM Articles WHERE source_id=") + id);
        return c && !c->AtEnd() ? c->Column(1) : std::string("?");
    };
}

TEST(DatabaseWorker, RunsJobsInTheOrderAskedOnTheLastRefreshsConnection) {
    FixtureDb db, other;
    ASSERT_TRUE(other.exec("DELETE FROM Sources WHERE id<>7"));
    Inbox inbox;
    DatabaseWorker worker(inbox.Post());
    std::vector<std::string> seen;
    worker.Refresh(other.path(), true, [&](const RefreshResult& r) { seen.push_back("rows " + std::to_string(r.listing.rows.size())); });
    worker.Refresh(db.path(), false, [&](const RefreshResult& r) {   // not merged: the first one may have started
        seen.push_back((r.opened ? "opened " : "failed ") + std::to_string(r.listing.rows.size()));
    });
    worker.Run<bool>([](SqlConnection& c) { feed f; f.ID = "1"; f.MarkRead(c); return true; }, {});
    worker.Run<std::string>(Unread("1"), [&](std::string unread) { seen.push_back("unread " + unread); });
    ASSERT_TRUE(inbox.RunUntil([&] { return !seen.empty() && seen.back().rfind("unread", 0) == 0; }));
    // Merging may fold the second refresh into the first: either way the last asked-for file wins.
    EXPECT_EQ(seen.back(), "unread 0");
    EXPECT_EQ(seen[seen.size() - 2], "opened 5");
    EXPECT_EQ(db.query("SELECT sum(unread) FROM Articles WHERE source_id=1"), "0");
}

TEST(DatabaseWorker, RefreshesAskedForWhileOneRunsAreMergedIntoOneThatFollows) {
    FixtureDb db;
    BrowserLock lock(db.path());   // the first refresh waits on the browser's lock meanwhile
    Inbox inbox;
    DatabaseWorker worker(inbox.Post());
    std::vector<std::string> seen;
    auto note = [&](const char* who) {
        return [&, who](const RefreshResult& r) {
            seen.push_back(std::string(who) + (r.allFeeds ? " all #" : " subscribed #") + std::to_string(r.id));
        };
    };
    worker.Refresh(db.path(), false, note("a"));
    while (worker.Waiting() > 0) std::this_thread::yield();   // a has started
    worker.Refresh(db.path(), false, note("b"));
    worker.Refresh(db.path(), true, note("c"));
    lock.Release();
    ASSERT_TRUE(inbox.RunUntil([&] { return seen.size() == 3; }));
    EXPECT_EQ(seen, (std::vector<std::string>{"a subscribed #1", "b all #2", "c all #2"}));
}

TEST(DatabaseWorker, AFileThatCannotBeOpenedGivesAResultThatSaysSo) {
    FixtureDb db;
    const std::string empty = db.folder() + "/Empty3", missing = db.folder() + "/none/Database3";
    std::ofstream(empty).flush();
    Inbox inbox;
    DatabaseWorker worker(inbox.Post());
    for (const std::string& path : {empty, missing, db.path()}) {
        SCOPED_TRACE(path);
        std::optional<RefreshResult> seen;
        worker.Refresh(path, false, [&](const RefreshResult& r) { seen = r; });
        ASSERT_TRUE(inbox.RunUntil([&] { return seen.has_value(); }));
        EXPECT_EQ(seen->opened, path == db.path());
        EXPECT_EQ(seen->listing.rows.size(), path == db.path() ? 5u : 0u);
        EXPECT_EQ(seen->error.empty(), path == db.path());
    }
    EXPECT_FALSE(std::filesystem::exists(missing)) << "never creates the file";
    EXPECT_EQ(std::filesystem::file_size(empty), 0u);
}

// Quitting while a statement waits for the browser's lock: the wait is cut short and nothing is written,
// even once the lock goes.
TEST(DatabaseWorker, StopInterruptsABusyWaitDropsWhatWaitsAndWritesNothing) {
    FixtureDb db;
    Inbox inbox;
    DatabaseWorker worker(inbox.Post());
    bool opened = false;
    worker.Refresh(db.path(), false, [&](const RefreshResult& r) { opened = r.opened; });
    ASSERT_TRUE(inbox.RunUntil([&] { return opened; }));
    const std::string before = db.query("SELECT group_concat(unread) FROM Articles");
    BrowserLock lock(db.path());
    BusyTimeout longWait(60s);   // without the interrupt, Stop would wait a minute
    bool ran = false;
    worker.Run<bool>([](SqlConnection& c) { feed f; f.MarkAllRead(c); return !c.Error(); }, [&](bool) { ran = true; });
    worker.Run<bool>([](SqlConnection& c) { feed f; f.ID = "7"; f.MarkRead(c); return true; }, {});
    while (worker.Waiting() > 1) std::this_thread::yield();   // the first has started, and waits
    worker.Stop();
    lock.Release();
    EXPECT_EQ(db.query("SELECT group_concat(unread) FROM Articles"), before);
    EXPECT_FALSE(inbox.RunUntil([&] { return ran; }, 100ms)) << "no result after the stop";
    worker.Refresh(db.path(), false, [](const RefreshResult&) { ADD_FAILURE() << "ran after the stop"; });
}

}  // namespace
