// Line splitting of the reader: CR, LF and CR LF, also where a chunk of the file ends.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "plist/plistlinereader.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::istringstream in(text);
    plistLineReader reader(in);
    std::vector<std::string> lines;
    std::string line;
    while (!reader.AtEnd()) {
        EXPECT_TRUE(reader.ReadLine(line));
        lines.push_back(line);
    }
    EXPECT_FALSE(reader.ReadLine(line));
    return lines;
}

TEST(plistLineReader, SplitsAtEveryKindOfLineEnd) {
    struct Case { const char* what; std::string text; std::vector<std::string> lines; };
    const Case cases[] = {
        {"LF", "a\nb\n", {"a", "b"}},
        {"CR LF", "a\r\nb\r\n", {"a", "b"}},
        {"CR", "a\rb\r", {"a", "b"}},
        {"mixed", "a\r\n\nb\rc", {"a", "", "b", "c"}},
        {"LF CR is two ends", "a\n\rb", {"a", "", "b"}},
        {"no final end", "only", {"only"}},
        {"empty", "", {}},
        {"blank lines", "\n\n", {"", ""}},
        {"tabs kept", "\t\tx\t\n", {"\t\tx\t"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Lines(c.text), c.lines);
    }
}

TEST(plistLineReader, CrLfSplitAcrossChunks) {
    for (std::size_t first : {65535u, 65536u, 65534u, 131071u}) {
        SCOPED_TRACE(first);
        const std::string a(first, 'x');
        EXPECT_EQ(Lines(a + "\r\nnext\r\n"), (std::vector<std::string>{a, "next"}));
    }
}

}  // namespace
