#include "plist/plistdate.h"

#include <ctime>

plistDate::plistDate() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    year = local.tm_year + 1900;
    month = local.tm_mon + 1;
    day = local.tm_mday;
    hour = local.tm_hour;
    minute = local.tm_min;
    second = local.tm_sec;
}

plistDate::plistDate(std::int32_t y, std::int32_t mo, std::int32_t d, std::int32_t h, std::int32_t mi,
                     std::int32_t s)
    : year(y), month(mo), day(d), hour(h), minute(mi), second(s) {}

namespace {

// Reads 1 to maxDigits decimal digits at text[pos]; advances pos.
bool ReadDigits(std::string_view text, std::size_t& pos, std::size_t maxDigits, std::int32_t& out) {
    std::size_t start = pos;
    std::int64_t v = 0;
    while (pos < text.size() && pos - start < maxDigits && text[pos] >= '0' && text[pos] <= '9')
        v = v * 10 + (text[pos++] - '0');
    out = static_cast<std::int32_t>(v);
    return pos > start;
}

bool IsLeap(std::int32_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

}  // namespace

bool plistDate::ParseDate(std::string_view text) {
    std::size_t pos = 0;
    std::int32_t y, mo, d;
    if (!ReadDigits(text, pos, 9, y)) return false;
    if (pos >= text.size() || text[pos++] != '-') return false;
    if (!ReadDigits(text, pos, 2, mo)) return false;
    if (pos >= text.size() || text[pos++] != '-') return false;
    if (!ReadDigits(text, pos, 2, d)) return false;
    if (pos != text.size()) return false;
    static constexpr std::int32_t kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (mo < 1 || mo > 12) return false;
    const std::int32_t last = kDays[mo - 1] + ((mo == 2 && IsLeap(y)) ? 1 : 0);
    if (d < 1 || d > last) return false;
    year = y;
    month = mo;
    day = d;
    hour = minute = second = 0;
    return true;
}
