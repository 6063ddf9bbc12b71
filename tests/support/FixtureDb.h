#pragma once
// A fresh syndication database for one test, built from the fixture script in a new temporary folder that
// goes again with the object. Plain SQLite, no Qt, so every test program can use it.

#include <string>

class FixtureDb {
public:
    /// Builds <temporary folder>/Database3; with loadFixture false it is a valid database without tables.
    explicit FixtureDb(bool loadFixture = true);
    ~FixtureDb();
    FixtureDb(const FixtureDb&) = delete;
    FixtureDb& operator=(const FixtureDb&) = delete;

    const std::string& path() const { return path_; }       ///< full path of the database file
    const std::string& folder() const { return folder_; }   ///< the temporary folder holding it

    /// Runs SQL through a connection of its own; records a test failure and returns false on error.
    bool exec(const std::string& sql);
    /// The first column of the first row as text; empty for NULL, no row or an error (which also fails the test).
    std::string query(const std::string& sql);

    /// What the feed operations may change: the article id:unread pairs, then the Sources keys. kState is the
    /// fixture's own.
    std::string state();
    static constexpr const char* kState = "2003:1 2101:0 2102:1 2103:1 2104:0 2105:1 / 1 2 3 4 6 7 8";

private:
    std::string folder_;
    std::string path_;
};
