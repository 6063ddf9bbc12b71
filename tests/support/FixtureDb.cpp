#include "tests/support/FixtureDb.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace {

std::string MakeTemporaryFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "brindlex-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data()))
        throw std::runtime_error("cannot create a temporary folder from " + pattern);
    return buffer.data();
}

std::string ReadFile(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read the fixture script " + file);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Opens the file with create allowed (only the fixture may make databases) and no busy wait,
// so a test that holds a lock sees it immediately.
sqlite3* Open(const std::string& path) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        std::string message = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        throw std::runtime_error("cannot open " + path + ": " + message);
    }
    return db;
}

}  // namespace

FixtureDb::FixtureDb(bool loadFixture) : folder_(MakeTemporaryFolder()), path_(folder_ + "/Database3") {
    sqlite3* db = Open(path_);
    if (loadFixture) {
        const std::string script = ReadFile(BRINDLEX_FIXTURE_SQL);
        char* error = nullptr;
        if (sqlite3_exec(db, script.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            std::string message = error ? error : "unknown error";
            sqlite3_free(error);
            sqlite3_close(db);
            std::filesystem::remove_all(folder_);
            throw std::runtime_error("the fixture script failed: " + message);
        }
    }
    sqlite3_close(db);
}

FixtureDb::~FixtureDb() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

bool FixtureDb::exec(const std::string& sql) {
    sqlite3* db = Open(path_);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    if (rc != SQLITE_OK)
        ADD_FAILURE() << "SQL failed: " << (error ? error : "unknown error") << "\n  in: " << sql;
    sqlite3_free(error);
    sqlite3_close(db);
    return rc == SQLITE_OK;
}

std::string FixtureDb::query(const std::string& sql) {
    sqlite3* db = Open(path_);
    sqlite3_stmt* stmt = nullptr;
    std::string result;
    int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW) {
            if (const auto* text = sqlite3_column_text(stmt, 0))
                result.assign(reinterpret_cast<const char*>(text), static_cast<std::size_t>(sqlite3_column_bytes(stmt, 0)));
            rc = SQLITE_OK;
        } else if (rc == SQLITE_DONE) {
            rc = SQLITE_OK;
        }
    }
    if (rc != SQLITE_OK)
        ADD_FAILURE() << "query failed: " << sqlite3_errmsg(db) << "\n  in: " << sql;
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return result;
}
