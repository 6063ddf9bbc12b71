// The property-list store's load and save of one document against Python's plistlib on the same file, and
// its reads of hostile files at two sizes.
//
//   brindlex_bench_plist FILE [ROUNDS]
//
// Each round loads FILE and saves it to a scratch file with the store, then has plistlib do the same
// (tools/bench/plistlib_bench.py, timed inside Python so that its start-up is not counted). The ratio is
// of the medians of this one run.
// Then each hostile shape of make_plist.py is written with N and 2N repeats and loaded 3 * ROUNDS times at
// each size, alternating: a reader that stays linear takes about twice as long for twice the file, one that
// does not four times. These loads are timed in the thread's CPU time, so that other processes taking turns
// on a busy machine do not count, and the ratio is of the fastest loads: on a shared machine a load now and
// then runs at half speed, and such a load can land in either size's median.

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include <time.h>

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

double CpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

double LoadOnly(const std::filesystem::path& file, std::int32_t* entries) {
    const double start = CpuMs();
    auto doc = std::make_unique<plist>(file);
    const double ms = CpuMs() - start;
    *entries = doc->error ? -1 : doc->root->count();
    return ms;
}

struct Shape {
    const char* name;
    int n;
    std::int32_t entries;  // top-level entries at n, so a read that stopped short is no figure
    std::int32_t entriesAt2n;
};

// Loads the shape at n and 2n repeats, alternating; false when the target was missed.
bool HostileShape(const Shape& shape, const std::filesystem::path& folder, int rounds) {
    const auto here = std::filesystem::canonical("/proc/self/exe").parent_path();
    std::filesystem::path files[2];
    for (int k = 0; k < 2; ++k) {
        files[k] = folder / (std::string(shape.name) + "-" + std::to_string(shape.n << k) + ".plist");
        const std::string command = "python3 '" + (here / "make_plist.py").string() + "' '" + files[k].string() +
                                    "' " + shape.name + " " + std::to_string(shape.n << k);
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "could not write %s\n", files[k].c_str());
            std::exit(2);
        }
    }
    std::vector<double> times[2];
    std::int32_t entries[2] = {0, 0};
    for (int r = 0; r < rounds; ++r)
        for (int i = 0; i < 2; ++i) {
            const int k = (r + i) % 2;
            times[k].push_back(LoadOnly(files[k], &entries[k]));
        }
    if (entries[0] != shape.entries || entries[1] != shape.entriesAt2n) {
        std::fprintf(stderr, "%s: read %d and %d top-level entries, not %d and %d\n", shape.name, entries[0],
                     entries[1], shape.entries, shape.entriesAt2n);
        std::exit(2);
    }
    const auto a = bench::Summarise(times[0]), b = bench::Summarise(times[1]);
    const double ratio = b.min / a.min;
    std::printf("plist read of %s (CPU time)\n", shape.name);
    for (int k = 0; k < 2; ++k)
        std::printf("  N=%-6d %7jd bytes  %s\n", shape.n << k, static_cast<intmax_t>(std::filesystem::file_size(files[k])),
                    bench::Describe(k ? b : a).c_str());
    std::printf("  2N takes %.2f times as long as N at best, %.2f in the median (target <= 2.5 at best): %s\n", ratio,
                b.median / a.median, ratio <= 2.5 ? "met" : "MISSED");
    return ratio <= 2.5;
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
    bool met = ratio >= 3.0;

    const Shape shapes[] = {
        {"children-then-scalars", 20000, 2, 2},
        {"values-then-multiline", 2500, 2500, 5000},
        {"values-then-children", 2500, 2500, 5000},
    };
    const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                         ("brindlex-bench-shapes-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    for (const Shape& shape : shapes) {
        std::printf("\n");
        met = HostileShape(shape, folder, 3 * rounds) && met;
    }
    std::filesystem::remove_all(folder, ec);
    return met ? 0 : 1;
}
