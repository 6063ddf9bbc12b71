#pragma once
// Small helpers shared by the benchmarks and the stress program: a private home for an offscreen App,
// and order statistics of timings.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Stats {
    double min = 0, median = 0, p90 = 0, max = 0;
    std::size_t n = 0;
};

inline Stats Summarise(std::vector<double> v) {
    Stats s;
    if (v.empty()) return s;
    std::sort(v.begin(), v.end());
    s.n = v.size();
    s.min = v.front();
    s.max = v.back();
    s.median = v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    s.p90 = v[std::min(v.size() - 1, static_cast<std::size_t>(0.9 * static_cast<double>(v.size())))];
    return s;
}

inline std::string Describe(const Stats& s) {
    char text[160];
    std::snprintf(text, sizeof text, "median %.2f ms (min %.2f, p90 %.2f, max %.2f, n=%zu)", s.median, s.min, s.p90,
                  s.max, s.n);
    return text;
}

/// HOME and the XDG folders in a new temporary folder, and the offscreen platform: set before the App is
/// made, so nothing of the user's own preferences, caches or display is touched. Returns the folder.
inline std::string MakeOffscreenHome(const char* tag) {
    std::string pattern = std::string("/tmp/brindlex-") + tag + "-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) return {};
    const std::string home = buffer.data();
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home + "/.cache").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (home + "/.runtime").c_str(), 1);
    std::error_code ec;
    std::filesystem::create_directories(home + "/.runtime", ec);
    std::filesystem::permissions(home + "/.runtime", std::filesystem::perms::owner_all, ec);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Icon fetches go to 127.0.0.1 only, never through a proxy of the machine.
    for (const char* v : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
        unsetenv(v);
    return home;
}

}  // namespace bench
