#include "tests/support/FixtureDb.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <iterator>
#include <stdexcept>

namespace {

// Runs the SQL through a connection of its own, with create allowed (only the fixture makes databases)
// and no busy wait, so a lock a test holds shows at once. Gives whether it ran, and the first value it gave.
std::pair<bool, std::string> Run(const std::string& path, const std::string& sql) {
    const auto keepFirst = [](void* first, int, char** values, char**) {
        auto& value = *static_cast<std::optional<std::string>*>(first);
        if (!value) value = values[0] ? values[0] : "";
        return 0;
    };
    std::optional<std::string> first;
    sqlite3* db = nullptr;
    char* error = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    // Waits, as the browser does, while the program reads (selecting a row reads its feed on the worker).
    if (rc == SQLITE_OK) rc = sqlite3_busy_timeout(db, 5000);
    if (rc == SQLITE_OK) rc = sqlite3_exec(db, sql.c_str(), keepFirst, &first, &error);
    if (rc != SQLITE_OK) ADD_FAILURE() << "SQL failed: " << (error ? error : sqlite3_errstr(rc)) << "\n  in: " << sql;
    sqlite3_free(error);
    sqlite3_close(db);
    return {rc == SQLITE_OK, first.value_or("")};
}

}  // namespace

FixtureDb::FixtureDb(bool loadFixture) : folder_((std::filesystem::temp_directory_path() / "brindlex-XXXXXX").string()) {
    if (!mkdtemp(folder_.data())) throw std::runtime_error("cannot create a temporary folder from " + folder_);
    path_ = folder_ + "/Database3";
    std::ifstream in(BRINDLEX_FIXTURE_SQL, std::ios::binary);
    const std::string script(std::istreambuf_iterator<char>(in), {});
    if (!in || !Run(path_, loadFixture ? script : "").first) {
        std::filesystem::remove_all(folder_);
        throw std::runtime_error("cannot build the fixture from " BRINDLEX_FIXTURE_SQL);
    }
}

FixtureDb::~FixtureDb() { std::error_code ignored; std::filesystem::remove_all(folder_, ignored); }

bool FixtureDb::exec(const std::string& sql) { return Run(path_, sql).first; }

std::string FixtureDb::query(const std::string& sql) { return Run(path_, sql).second; }

std::string FixtureDb::state() {
    return query("SELECT group_concat(id||':'||unread, ' ') FROM (SELECT id, unread FROM Articles ORDER BY id)") + " / " +
           query("SELECT group_concat(id, ' ') FROM (SELECT id FROM Sources ORDER BY id)");
}
