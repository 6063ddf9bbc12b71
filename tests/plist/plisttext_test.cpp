// Number texts: what reads as a number, and what is a whole number (an array index rather than a key).

#include <gtest/gtest.h>

#include <cmath>

#include "plist/plisttext.h"

namespace {

TEST(plistText, ReadNumberTakesTheLeadingNumber) {
    struct Case { const char* text; double value; bool whole; };
    const Case cases[] = {
        {"  -3.5", -3.5, true},    {"2 ", 2, true},        {".5", 0.5, true},     {"1e3", 1000, true},
        {"1e999", HUGE_VAL, true}, {"1e-999", 0, true},    {"12abc", 12, false},  {"+-1", 0, false},
        {"-", 0, false},           {"", 0, false},         {"inf", HUGE_VAL, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(plistText::ReadNumber(c.text), c.value) << c.text;
        EXPECT_EQ(plistText::IsNumber(c.text), c.whole) << c.text;
    }
    EXPECT_TRUE(std::isnan(plistText::ReadNumber("-nan")));
    EXPECT_FALSE(plistText::IsNumber("nan"));
}

}  // namespace
