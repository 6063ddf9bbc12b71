// libFuzzer target: any bytes as a property-list file; load, save, load again.
#include <cstdio>
#include <cstdlib>

#include "tools/fuzz/FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::filesystem::path folder = fuzzchecks::ScratchFolder("plist");
    const std::string problem = fuzzchecks::CheckPlistRoundTrip(data, size, folder);
    if (!problem.empty()) {
        std::fprintf(stderr, "plist round trip: %s\n", problem.c_str());
        std::abort();   // libFuzzer keeps the input as a crash
    }
    return 0;
}
