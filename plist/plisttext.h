#pragma once
// Text helpers of the property-list store: letter case, numbers, XML escaping.

#include <cstddef>
#include <string>
#include <string_view>

namespace plistText {

/// Folds A-Z only, so the bytes of multi-byte UTF-8 characters are never touched.
inline char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
bool EndsWithNoCase(std::string_view text, std::string_view suffix);
/// Position of the first match of needle ignoring letter case, or npos.
std::size_t FindNoCase(std::string_view haystack, std::string_view needle);

/// Hash and equality for maps whose text keys ignore letter case.
struct NoCaseHash {
    std::size_t operator()(const std::string& s) const noexcept;
};
struct NoCaseEqual {
    bool operator()(const std::string& a, const std::string& b) const noexcept { return EqualsNoCase(a, b); }
};

/// Decimal text of a number: integral values as plain digits, others in the shortest form that reads back
/// to the same double.
std::string FormatNumber(double value);
/// Reads the leading decimal number of a text (after blanks); 0 when there is none.
double ReadNumber(std::string_view text);
/// True when the whole text, blanks aside, is one decimal number written with digits.
bool IsNumber(std::string_view text);

/// The text without its leading control characters (codes below 32).
std::string_view StripControl(std::string_view line);

/// Escapes a text for element content: &, <, > and CR (a bare CR would read back as a line end).
/// Keys also escape LF, since a key line cannot span lines.
std::string Escape(std::string_view text, bool isKey = false);
void AppendEscaped(std::string& out, std::string_view text, bool isKey = false);
/// Decodes the five predefined entities and numeric character references; anything else, a lone "&"
/// included, stays as it is.
std::string Decode(std::string_view text);

}  // namespace plistText
