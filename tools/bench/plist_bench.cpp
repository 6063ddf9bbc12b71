// The property-list store's load and save of one document against Python's plistlib on the same file.
//
//   brindlex_bench_plist FILE [ROUNDS]
//
// Each round loads FILE and saves it to a scratch file with the store, then has plistlib do the same
// (tools/bench/plistlib_bench.py, timed inside Python so that its start-up is not counted). The ratio is
// of the medians of this one run.

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "plist/plist.h"
#include "tools/bench/BenchSupport.h"

namespace {

double StoreRound(const std::filesystem::path& file, const std::filesystem::path& out, std::int32_t* entries) {
    const auto t = bench::Clock::now();
    auto doc = std::make_unique<plist>(file);
    doc->savePath = out;
    doc->Save();
    const double ms = bench::MsSince(t);
    if (doc->error) {
        std::fprintf(stderr, "the store failed: %s\n", doc->errorMessage.c_str());
        std::exit(1);
    }
    *entries = doc->root->count();
    return ms;
}

// Runs plistlib for a number of load+save pairs; returns its per-pair times.
std::vector<double> PlistlibRounds(const std::string& script, const std::filesystem::path& file, int n) {
    const std::string command = "python3 '" + script + "' '" + file.string() + "' " + std::to_string(n);
    std::vector<double> v;
    if (FILE* p = popen(command.c_str(), "r")) {
        double ms;
        while (std::fscanf(p, "%lf", &ms) == 1) v.push_back(ms);
        if (pclose(p) != 0) v.clear();
    }
    if (v.empty()) {
        std::fprintf(stderr, "plistlib run failed: %s\n", command.c_str());
        std::exit(2);
    }
    return v;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE [ROUNDS]\n", argv[0]);
        return 2;
    }
    const std::filesystem::path file = std::filesystem::absolute(argv[1]);
    const int rounds = argc > 2 ? std::max(3, std::atoi(argv[2])) : 5;
    const auto here = std::filesystem::canonical("/proc/self/exe").parent_path();
    const std::string script = (here / "plistlib_bench.py").string();
    const std::filesystem::path out =
        std::filesystem::temp_directory_path() / ("brindlex-bench-" + std::to_string(getpid()) + ".plist");

    std::vector<double> store, python;
    std::int32_t entries = 0;
    StoreRound(file, out, &entries);   // warm-up: the file in the page cache for both
    for (int r = 0; r < rounds; ++r) {
        for (int i = 0; i < 4; ++i) store.push_back(StoreRound(file, out, &entries));
        for (double ms : PlistlibRounds(script, file, 4)) python.push_back(ms);
    }
    // The race is only fair if the store wrote what it read: plistlib must find the same values in its save.
    std::string verdict;
    const std::string compare = "python3 '" + script + "' '" + file.string() + "' --same-as '" + out.string() + "'";
    if (FILE* p = popen(compare.c_str(), "r")) {
        char word[32] = {0};
        if (std::fscanf(p, "%31s", word) == 1) verdict = word;
        pclose(p);
    }
    std::error_code ec;
    std::filesystem::remove(out, ec);
    std::filesystem::remove(file.string() + ".plistlib-out", ec);
    if (verdict != "same") {
        std::fprintf(stderr, "plistlib reads other values from the store's save than from the original\n");
        return 2;
    }
    const auto s = bench::Summarise(store), p = bench::Summarise(python);
    const double ratio = p.median / s.median;
    std::printf("plist load+save of %s (%jd bytes, %d top-level entries)\n", file.filename().c_str(),
                static_cast<intmax_t>(std::filesystem::file_size(file)), entries);
    std::printf("  store    %s\n", bench::Describe(s).c_str());
    std::printf("  plistlib %s\n", bench::Describe(p).c_str());
    std::printf("  plistlib reads the store's save as the same values as the original\n");
    std::printf("  store is %.2f times as fast (target >= 3): %s\n", ratio, ratio >= 3.0 ? "met" : "MISSED");
    return ratio >= 3.0 ? 0 : 1;
}
