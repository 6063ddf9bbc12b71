// The case-insensitive, insertion-ordered map behind a node's values and types.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <type_traits>

#include "plist/plistmap.h"

namespace {

static_assert(std::is_base_of_v<std::out_of_range, plistKeyError>);

TEST(plistMap, OrderSpellingRemovalAndAbsentKeys) {
    plistMap m;
    for (int i = 0; i < 100; ++i) m.Set("k" + std::to_string(i), std::to_string(i));
    m.Set("K5", "five");  // replaced in place, the first spelling kept
    EXPECT_EQ(m.Key(5) + "=" + m.ValueAt(5), "k5=five");
    EXPECT_TRUE(m.Remove("K10"));
    EXPECT_FALSE(m.Remove("k10"));
    for (int i = 11; i < 100; ++i) ASSERT_EQ(m.Value("k" + std::to_string(i)), std::to_string(i));  // later keys moved up
    EXPECT_EQ(m.Key(10), "k11");
    m.Set("k10", "back");
    EXPECT_EQ(m.Key(99), "k10");  // a removed key comes back at the end
    for (int i = 20; i < 80; ++i) m.Remove("k" + std::to_string(i));  // more gaps than entries on the way
    EXPECT_EQ(m.Count(), 40);
    EXPECT_EQ(m.Key(18) + m.Key(19) + m.Value("k99") + m.Value("K10"), "k19k8099back");
    EXPECT_EQ(m.Find("nope"), nullptr);
    try {
        m.Value("nope");
        ADD_FAILURE() << "no exception";
    } catch (const plistKeyError& e) {
        EXPECT_EQ(e.key(), "nope");
    }
}

}  // namespace
