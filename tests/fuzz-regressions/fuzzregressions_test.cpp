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

std::string ReadBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<fs::path> KeptInputs(const char* target) {
    std::vector<fs::path> files;
    const fs::path folder = fs::path(BRINDLEX_FUZZ_REGRESSIONS) / target;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        if (entry.is_regular_file() && entry.path().filename().string()[0] != '.') files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

class FuzzRegressions : public ::testing::Test {
protected:
    ~FuzzRegressions() override {
        std::error_code ec;
        fs::remove_all(scratch, ec);
    }
    fs::path scratch = fuzzchecks::ScratchFolder("regressions");
};

using Check = std::string (*)(const std::uint8_t*, std::size_t, const fs::path&);

void ReplayAll(const char* target, Check check, const fs::path& scratch) {
    const auto files = KeptInputs(target);
    EXPECT_FALSE(files.empty()) << "no kept inputs for " << target;
    for (const auto& file : files) {
        const std::string bytes = ReadBytes(file);
        const std::string problem = check(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), scratch);
        EXPECT_EQ(problem, "") << file.filename().string();
    }
}

TEST_F(FuzzRegressions, PlistInputsRoundTrip) {
    ReplayAll("plist", fuzzchecks::CheckPlistRoundTrip, scratch);
}

TEST_F(FuzzRegressions, DatabaseInputsLeaveNoLockBehind) {
    ReplayAll("database", fuzzchecks::CheckDatabase, scratch);
}

// The fuzzer's starting point must pass too, or every mutation would be judged against a broken base.
TEST_F(FuzzRegressions, FixtureDatabasePassesTheDatabaseCheck) {
    FixtureDb db;
    const std::string bytes = ReadBytes(db.path());
    ASSERT_FALSE(bytes.empty());
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    EXPECT_EQ(fuzzchecks::CheckDatabase(data, bytes.size(), scratch), "");
}

}  // namespace
