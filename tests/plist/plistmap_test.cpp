// The case-insensitive, insertion-ordered map behind a node's values and types.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "plist/plistmap.h"

namespace {

std::vector<std::string> Keys(const plistMap& m) {
    std::vector<std::string> keys;
    for (std::int32_t i = 0; i < m.Count(); ++i) keys.push_back(m.Key(i));
    return keys;
}

TEST(plistMap, KeepsInsertionOrderAndTheFirstSpelling) {
    plistMap m;
    m.Set("b", "1");
    m.Set("A", "2");
    m.Set("c", "3");
    m.Set("a", "4");
    EXPECT_EQ(Keys(m), (std::vector<std::string>{"b", "A", "c"}));
    EXPECT_EQ(m.Value("A"), "4");
    EXPECT_EQ(m.ValueAt(1), "4");
}

TEST(plistMap, RemoveKeepsTheLookupsOfLaterKeys) {
    plistMap m;
    for (int i = 0; i < 100; ++i) m.Set("k" + std::to_string(i), std::to_string(i));
    EXPECT_TRUE(m.Remove("K10"));
    EXPECT_FALSE(m.Remove("k10"));
    EXPECT_EQ(m.Count(), 99);
    for (int i = 0; i < 100; ++i) {
        if (i == 10) continue;
        ASSERT_EQ(m.Value("k" + std::to_string(i)), std::to_string(i));
    }
    EXPECT_EQ(m.Key(10), "k11");
    m.Set("k10", "back");
    EXPECT_EQ(m.Key(99 - 0), "k10");  // a removed key comes back at the end
}

TEST(plistMap, AbsentKeyRaisesOutOfRange) {
    plistMap m;
    m.Set("x", "1");
    EXPECT_EQ(m.Find("nope"), nullptr);
    EXPECT_THROW(m.Value("nope"), std::out_of_range);
    try {
        m.Value("nope");
    } catch (const plistKeyError& e) {
        EXPECT_EQ(e.key(), "nope");
    }
}

}  // namespace
