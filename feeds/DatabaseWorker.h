#pragma once
// One thread that runs every statement on the feed database, in the order asked, so whoever asks never
// waits for the engine, a locked file or a large table. Results come back as plain values through a
// function the owner supplies to carry them to its own thread.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "feeds/FeedList.h"
#include "platform/SqlConnection.h"

/// What one refresh found.
struct RefreshResult {
    std::uint64_t id = 0;    ///< counts the refreshes run: callers merged into one see the same id
    std::string path;        ///< the file this refresh opened, or tried to
    bool allFeeds = false;
    bool opened = false;     ///< false: the database couldn't be opened
    std::string error;       ///< the engine's words when it could not
    bool unchanged = false;  ///< nothing had been committed since the last refresh: its list, not read again
    FeedListing listing;
};

class DatabaseWorker {
public:
    using Post = std::function<void(std::function<void()>)>;

    /// post is called on the worker thread with each finished job's continuation; it must hand it to the
    /// thread that asked (the window's event loop) and return at once.
    explicit DatabaseWorker(Post post);
    ~DatabaseWorker();   ///< Stop()
    DatabaseWorker(const DatabaseWorker&) = delete;
    DatabaseWorker& operator=(const DatabaseWorker&) = delete;

    /// Replaces the connection with a new one on path and reads the list and totals. Asked for while the
    /// last job in line is a refresh that has not started, it joins that one: the latest path and mode
    /// win, and every done is called with its result. When the file (in rollback-journal mode) shows no
    /// commit since the last refresh of the same file and mode, that refresh's list comes again unread.
    void Refresh(const std::string& path, bool allFeeds, std::function<void(const RefreshResult&)> done);

    /// Runs work on the connection the last refresh opened (an unopened one before the first), after
    /// everything asked before it; done gets what work returned.
    template <class R>
    void Run(std::function<R(SqlConnection&)> work, std::function<void(R)> done) {
        auto result = std::make_shared<R>();
        Enqueue([work = std::move(work), result](SqlConnection& db) { *result = work(db); },
                [done = std::move(done), result] {
                    if (done) done(std::move(*result));
                });
    }

    /// Interrupts the statement running now, drops the jobs not started and joins the thread. Nothing is
    /// left half-written: every change is a single statement or a transaction that rolls back.
    void Stop();
    /// Nothing waiting and nothing running.
    bool Idle() const;
    /// Jobs in line that have not started.
    std::size_t Waiting() const;

private:
    struct Job {
        bool refresh = false;
        std::string path;
        bool allFeeds = false;
        std::vector<std::function<void(const RefreshResult&)>> refreshed;
        std::function<void(SqlConnection&)> work;
        std::function<void()> then;
    };
    void Enqueue(std::function<void(SqlConnection&)> work, std::function<void()> then);
    void Loop();
    RefreshResult Open(const std::string& path, bool allFeeds);

    Post post_;
    mutable std::mutex mutex_;             ///< guards the queue, the flags and the connection pointer
    std::condition_variable wake_;
    std::deque<Job> queue_;
    bool running_ = false;
    bool stopping_ = false;
    std::uint64_t refreshes_ = 0;   ///< worker thread only
    /// The last list read, and what the file was then (worker thread only).
    struct LastRead {
        std::string path;
        bool allFeeds = false;
        SqlConnection::ChangeStamp stamp;
        FeedListing listing;
    };
    std::optional<LastRead> last_;
    std::unique_ptr<SqlConnection> connection_;   ///< used on the worker thread only, but for Interrupt
    std::thread thread_;
};
