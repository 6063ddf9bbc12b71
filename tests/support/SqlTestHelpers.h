#pragma once
// Small helpers shared by the connection and feed tests.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/SqlConnection.h"

using namespace std::chrono_literals;

/// Sets the process-wide busy timeout and restores it whatever the test did with it.
struct BusyTimeout {
    explicit BusyTimeout(std::chrono::milliseconds timeout) { SqlConnection::SetBusyTimeout(timeout); }
    ~BusyTimeout() { SqlConnection::SetBusyTimeout(saved); }
    const std::chrono::milliseconds saved = SqlConnection::BusyTimeout();
};

/// A connection to the file, expected to open.
inline std::unique_ptr<SqlConnection> Connected(const std::string& path) {
    auto db = std::make_unique<SqlConnection>(path);
    EXPECT_TRUE(db->Connect()) << db->ErrorMessage();
    return db;
}

/// Spins until pred holds, for at most limit (for states of another thread that send no signal); whether it held.
inline bool Within(const std::function<bool()>& pred, std::chrono::milliseconds limit = 10s) {
    for (const auto end = std::chrono::steady_clock::now() + limit; !pred();)
        if (std::chrono::steady_clock::now() > end) return false;
        else std::this_thread::yield();
    return true;
}

/// Whether the browser could write right now: false while any connection still holds a lock on the file.
inline bool BrowserCanWrite(const std::string& path) {
    BusyTimeout brief(50ms);
    SqlConnection browser(path);
    return browser.Connect() && browser.Execute("UPDATE Sources SET lastCheck=lastCheck+1");
}
