// libFuzzer target: mutated copies of a syndication database file; connect, list, feed operations.
#include <cstdio>
#include <cstdlib>

#include "tools/fuzz/FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::filesystem::path folder = fuzzchecks::ScratchFolder("database");
    const std::string problem = fuzzchecks::CheckDatabase(data, size, folder);
    if (!problem.empty()) {
        std::fprintf(stderr, "database: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
