#include "plist/plisttext.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace plistText {

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

std::size_t FindNoCase(std::string_view haystack, std::string_view needle) {
    if (needle.empty()) return 0;
    if (needle.size() > haystack.size()) return std::string_view::npos;
    const char first = FoldCase(needle[0]);
    const std::size_t last = haystack.size() - needle.size();
    for (std::size_t i = 0; i <= last; ++i) {
        if (FoldCase(haystack[i]) != first) continue;
        if (EqualsNoCase(haystack.substr(i, needle.size()), needle)) return i;
    }
    return std::string_view::npos;
}

std::size_t NoCaseHash::operator()(const std::string& s) const noexcept {
    // FNV-1a over the folded bytes.
    std::uint64_t h = 1469598103934665603ull;
    for (char c : s) {
        h ^= static_cast<unsigned char>(FoldCase(c));
        h *= 1099511628211ull;
    }
    return static_cast<std::size_t>(h);
}

std::string FormatNumber(double value) {
    char buf[400];
    std::to_chars_result r;
    // Integral values up to 1e21 as digits: an interval must read "30", not "3e+01" or "30.000000".
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e21)
        r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    else
        r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Parses a number at the start of text (after blanks and an optional "+"); end receives the stop position.
bool ParseLeading(std::string_view text, double& out, std::size_t& end) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i < text.size() && text[i] == '+') {
        ++i;
        if (i < text.size() && text[i] == '-') return false;
    }
    const char* begin = text.data() + i;
    auto r = std::from_chars(begin, text.data() + text.size(), out);
    if (r.ec == std::errc::invalid_argument) return false;
    if (r.ec == std::errc::result_out_of_range) {
        // from_chars leaves the value alone here: a negative exponent or a zero integer part is an
        // underflow (reads as zero), anything else an overflow (reads as infinity).
        std::string_view digits(begin, static_cast<std::size_t>(r.ptr - begin));
        const bool negative = !digits.empty() && digits[0] == '-';
        if (negative) digits.remove_prefix(1);
        const std::size_t exp = digits.find_first_of("eE");
        const std::string_view whole = digits.substr(0, std::min(exp, digits.find('.')));
        const bool tiny = (exp != std::string_view::npos && exp + 1 < digits.size() && digits[exp + 1] == '-') ||
                          (exp == std::string_view::npos && whole.find_first_not_of('0') == std::string_view::npos);
        out = tiny ? 0.0 : HUGE_VAL;
        if (negative) out = -out;
    }
    end = static_cast<std::size_t>(r.ptr - text.data());
    return true;
}

}  // namespace

double ReadNumber(std::string_view text) {
    double v = 0;
    std::size_t end = 0;
    return ParseLeading(text, v, end) ? v : 0.0;
}

bool IsNumber(std::string_view text) {
    // Digits only: a key such as "nan" or "inf" is a key, not an index.
    const std::size_t first = text.find_first_not_of(" \t+-");
    if (first == std::string_view::npos) return false;
    const bool digit = text[first] >= '0' && text[first] <= '9';
    const bool point = text[first] == '.' && first + 1 < text.size() && text[first + 1] >= '0' && text[first + 1] <= '9';
    if (!digit && !point) return false;
    double v = 0;
    std::size_t end = 0;
    if (!ParseLeading(text, v, end)) return false;
    while (end < text.size() && IsBlank(text[end])) ++end;
    return end == text.size();
}

std::string_view StripControl(std::string_view line) {
    std::size_t i = 0;
    while (i < line.size() && static_cast<unsigned char>(line[i]) < 32) ++i;
    return line.substr(i);
}

std::string Escape(std::string_view text, bool isKey) {
    std::string out;
    AppendEscaped(out, text, isKey);
    return out;
}

void AppendEscaped(std::string& out, std::string_view text, bool isKey) {
    std::size_t from = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const char* rep;
        switch (c) {
        case '&': rep = "&amp;"; break;
        case '<': rep = "&lt;"; break;
        case '>': rep = "&gt;"; break;
        case '\r': rep = "&#13;"; break;
        case '\n': rep = isKey ? "&#10;" : nullptr; break;
        default: rep = nullptr;
        }
        if (!rep) continue;
        out.append(text, from, i - from);
        out += rep;
        from = i + 1;
    }
    out.append(text, from, std::string_view::npos);
}

namespace {

void AppendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Reads "#123;" or "#x1F;" at the start of ref; returns the length consumed (0 if it is no valid reference).
std::size_t ReadCharRef(std::string_view ref, std::uint32_t& cp) {
    if (ref.size() < 3 || ref[0] != '#') return 0;
    std::size_t i = 1;
    int base = 10;
    if (ref[i] == 'x' || ref[i] == 'X') {
        base = 16;
        ++i;
    }
    std::uint32_t value = 0;
    std::size_t digits = 0;
    for (; i < ref.size() && ref[i] != ';'; ++i, ++digits) {
        char c = ref[i];
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else return 0;
        value = value * base + d;
        if (value > 0x10FFFF) return 0;
    }
    if (digits == 0 || i >= ref.size()) return 0;
    if (value == 0 || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    cp = value;
    return i + 1;
}

}  // namespace

std::string Decode(std::string_view text) {
    std::size_t amp = text.find('&');
    if (amp == std::string_view::npos) return std::string(text);
    static constexpr std::pair<std::string_view, char> kEntities[] = {
        {"amp;", '&'}, {"lt;", '<'}, {"gt;", '>'}, {"quot;", '"'}, {"apos;", '\''}};
    std::string out;
    out.reserve(text.size());
    std::size_t from = 0;
    while (amp != std::string_view::npos) {
        out.append(text, from, amp - from);
        std::string_view rest = text.substr(amp + 1);
        std::size_t used = 0;
        for (const auto& [name, ch] : kEntities) {
            if (rest.substr(0, name.size()) == name) {
                out += ch;
                used = name.size();
                break;
            }
        }
        if (used == 0) {
            std::uint32_t cp = 0;
            used = ReadCharRef(rest, cp);
            if (used) AppendUtf8(out, cp);
        }
        if (used == 0) out += '&';  // not a reference: the ampersand stands for itself
        from = amp + 1 + used;
        amp = text.find('&', from);
    }
    out.append(text, from, std::string_view::npos);
    return out;
}

}  // namespace plistText
