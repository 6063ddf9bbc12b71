// Replays every kept input of tests/fuzz-regressions/<target>/ through the check its fuzz target makes.
// A new crash found by scripts/fuzz is copied into the target's folder and becomes a case here.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/FixtureDb.h"
#include "tools/fuzz/FuzzChecks.h"

namespace {

namespace fs = std::filesystem;

using Check = std::string (*)(const std::uint8_t*, std::size_t, const fs::path&);

class FuzzRegressions : public ::testing::Test {
protected:
    ~FuzzRegressions() override {
        std::error_code ec;
        fs::remove_all(scratch, ec);
    }
    // What the check finds wrong with the file's bytes; empty when nothing.
    std::string Replay(Check check, const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        return check(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), scratch);
    }
    // Every kept input of the target, in name order.
    void ReplayAll(const char* target, Check check) {
        std::vector<fs::path> files;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(fs::path(BRINDLEX_FUZZ_REGRESSIONS) / target, ec))
            if (entry.is_regular_file() && entry.path().filename().string()[0] != '.') files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        EXPECT_FALSE(files.empty()) << "no kept inputs for " << target;
        for (const auto& file : files) EXPECT_EQ(Replay(check, file), "") << file.filename().string();
    }
    fs::path scratch = fuzzchecks::ScratchFolder("regressions");
};

// Property lists round-trip; databases leave no lock behind.
TEST_F(FuzzRegressions, KeptInputsPassTheirTargetsCheck) {
    ReplayAll("plist", fuzzchecks::CheckPlistRoundTrip);
    ReplayAll("database", fuzzchecks::CheckDatabase);
}

// The fuzzer's starting point must pass too, or every mutation would be judged against a broken base.
TEST_F(FuzzRegressions, FixtureDatabasePassesTheDatabaseCheck) {
    FixtureDb db;
    ASSERT_GT(fs::file_size(db.path()), 0u);
    EXPECT_EQ(Replay(fuzzchecks::CheckDatabase, db.path()), "");
}

}  // namespace
