#pragma once
// Small helpers shared by the connection and feed tests.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "platform/SqlConnection.h"

/// Sets the process-wide busy timeout and restores it whatever the test did with it.
class BusyTimeout {
public:
    explicit BusyTimeout(std::chrono::milliseconds timeout) : saved_(SqlConnection::BusyTimeout()) {
        SqlConnection::SetBusyTimeout(timeout);
    }
    ~BusyTimeout() { SqlConnection::SetBusyTimeout(saved_); }
    BusyTimeout(const BusyTimeout&) = delete;
    BusyTimeout& operator=(const BusyTimeout&) = delete;

private:
    std::chrono::milliseconds saved_;
};

/// A connection to the file, expected to open.
inline std::unique_ptr<SqlConnection> Connected(const std::string& path) {
    auto db = std::make_unique<SqlConnection>(path);
    EXPECT_TRUE(db->Connect()) << db->ErrorMessage();
    return db;
}
