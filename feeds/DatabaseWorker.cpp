#include "feeds/DatabaseWorker.h"

#include <filesystem>
#include <system_error>

#include "platform/SqlConnection.h"

DatabaseWorker::DatabaseWorker(Post post)
    : post_(std::move(post)), connection_(std::make_unique<SqlConnection>()), thread_([this] { Loop(); }) {}

DatabaseWorker::~DatabaseWorker() { Stop(); }

void DatabaseWorker::Refresh(const std::string& path, bool allFeeds, std::function<void(const RefreshResult&)> done) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_)
        return;
    if (queue_.empty() || !queue_.back().refresh) {
        queue_.emplace_back().refresh = true;
        wake_.notify_one();
    }
    Job& job = queue_.back();   // a new refresh, or the waiting one this joins
    job.path = path;
    job.allFeeds = allFeeds;
    job.refreshed.push_back(std::move(done));
}

void DatabaseWorker::Enqueue(std::function<void(SqlConnection&)> work, std::function<void()> then) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_)
        return;
    Job job;
    job.work = std::move(work);
    job.then = std::move(then);
    queue_.push_back(std::move(job));
    wake_.notify_one();
}

void DatabaseWorker::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!stopping_) {
            stopping_ = true;
            queue_.clear();
            if (connection_)
                connection_->Interrupt();
        }
        wake_.notify_one();
    }
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id())
        thread_.join();
}

bool DatabaseWorker::Idle() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return queue_.empty() && !running_;
}

std::size_t DatabaseWorker::Waiting() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return queue_.size();
}

void DatabaseWorker::Loop() {
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_)
                break;
            job = std::move(queue_.front());
            queue_.pop_front();
            running_ = true;
        }
        std::function<void()> then;
        if (job.refresh) {
            auto result = std::make_shared<RefreshResult>(Open(job.path, job.allFeeds));
            result->id = ++refreshes_;
            then = [result, dones = std::move(job.refreshed)] {
                for (const auto& done : dones)
                    if (done) done(*result);
            };
        } else {
            job.work(*connection_);
            then = std::move(job.then);
        }
        bool stop;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop = stopping_;
        }
        // Posted before the worker counts as idle, so whoever sees it idle finds the result on its way.
        if (!stop && then)
            post_(std::move(then));
        {
            std::lock_guard<std::mutex> lock(mutex_);
            running_ = false;
            if (stopping_)
                break;   // the owner is going: nobody is left to take a result
        }
    }
    std::unique_ptr<SqlConnection> closing;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing = std::move(connection_);
    }
}

RefreshResult DatabaseWorker::Open(const std::string& path, bool allFeeds) {
    RefreshResult result;
    result.path = path;
    result.allFeeds = allFeeds;
    auto fresh = std::make_unique<SqlConnection>(std::filesystem::path(path));
    std::unique_ptr<SqlConnection> previous;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_)
            fresh->Interrupt();
        previous = std::move(connection_);
        connection_ = std::move(fresh);
    }
    previous.reset();   // dropped, not closed first: closing is what dropping a connection does

    // SQLite takes a zero-byte file for an empty database; for the user it is no feed database at all.
    std::error_code ec;
    const bool empty = std::filesystem::is_regular_file(path, ec) && std::filesystem::file_size(path, ec) == 0;
    result.opened = !empty && connection_->Connect();
    if (!result.opened) {
        result.error = empty ? "the file is empty" : connection_->ErrorMessage();
        return result;
    }
    // One read for the check and the list: while it holds the file, nothing can be committed in between.
    SqlReadTransaction read(*connection_);
    const bool holding = read.Began() && connection_->Select("SELECT count(*) FROM sqlite_master") != nullptr;
    const std::optional<SqlConnection::ChangeStamp> stamp = holding ? connection_->Stamp() : std::nullopt;
    // In WAL mode commits leave the counter alone: only a read can tell.
    const bool known = stamp && !stamp->writeAheadLog;
    if (known && last_ && last_->stamp == *stamp && last_->path == path && last_->allFeeds == allFeeds) {
        result.unchanged = true;
        result.listing = last_->listing;
        return result;
    }
    result.listing = ReadFeedList(*connection_, allFeeds);
    if (known && result.listing.error.empty()) last_ = LastRead{path, allFeeds, *stamp, result.listing};
    else last_.reset();
    return result;
}
