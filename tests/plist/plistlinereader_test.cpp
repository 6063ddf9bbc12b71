// Line splitting of the reader: CR, LF and CR LF, also where a chunk of the file ends.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "plist/plistlinereader.h"

namespace {

using Lines = std::vector<std::string>;

Lines Read(const std::string& text) {
    std::istringstream in(text);
    plistLineReader reader(in);
    Lines lines;
    std::string line;
    while (!reader.AtEnd()) {
        EXPECT_TRUE(reader.ReadLine(line));
        lines.push_back(line);
    }
    EXPECT_FALSE(reader.ReadLine(line));
    return lines;
}

TEST(plistLineReader, SplitsAtEveryKindOfLineEnd) {
    const std::pair<std::string, Lines> cases[] = {
        {"a\nb\n", {"a", "b"}},       {"a\r\nb\r\n", {"a", "b"}},          {"a\rb\r", {"a", "b"}},
        {"a\r\n\nb\rc", {"a", "", "b", "c"}},                              {"a\n\rb", {"a", "", "b"}},
        {"only", {"only"}},           {"", {}},                            {"\n\n", {"", ""}},
        {"\t\tx\t\n", {"\t\tx\t"}},
    };
    for (const auto& [text, lines] : cases) EXPECT_EQ(Read(text), lines) << testing::PrintToString(text);
    for (std::size_t first : {65534u, 65535u, 65536u, 131071u}) {  // CR LF split across chunks
        const std::string a(first, 'x');
        EXPECT_EQ(Read(a + "\r\nnext\r\n"), (Lines{a, "next"})) << first;
    }
}

}  // namespace
