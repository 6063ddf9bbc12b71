// Number texts, escaping and decoding, letter case.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "plist/plisttext.h"

namespace {

using namespace plistText;

TEST(plistText, NumbersAreWrittenPlainlyAndReadBack) {
    struct Case { double value; const char* text; };
    const Case cases[] = {
        {30, "30"},           {0, "0"},         {-12, "-12"},         {2.5, "2.5"},
        {0.1, "0.1"},         {1e15, "1000000000000000"},             {2147483648.0, "2147483648"},
        {1e300, "1e+300"},    {-0.5, "-0.5"},   {123456.789, "123456.789"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatNumber(c.value), c.text);
        EXPECT_EQ(ReadNumber(FormatNumber(c.value)), c.value);
    }
    for (double v : {1.0 / 3.0, 2.0 / 3.0 * 1e-200, 9007199254740993.0, std::nextafter(1.0, 2.0),
                     std::numeric_limits<double>::max(), std::numeric_limits<double>::denorm_min()})
        EXPECT_EQ(ReadNumber(FormatNumber(v)), v) << FormatNumber(v);
}

TEST(plistText, ReadNumberTakesTheLeadingNumber) {
    struct Case { const char* text; double value; bool whole; };
    const Case cases[] = {
        {"42", 42, true},     {"  -3.5", -3.5, true}, {"+7", 7, true},     {"1e3", 1000, true},
        {"12abc", 12, false}, {"abc", 0, false},      {"", 0, false},      {"+-1", 0, false},
        {"1e999", HUGE_VAL, true},                    {"-1e999", -HUGE_VAL, true},
        {"1e-999", 0, true},  {"2 ", 2, true},        {".5", 0.5, true},   {"-", 0, false},
        {"inf", HUGE_VAL, false},                     {"-nan", -std::numeric_limits<double>::quiet_NaN(), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        if (std::isnan(c.value)) EXPECT_TRUE(std::isnan(ReadNumber(c.text)));
        else EXPECT_EQ(ReadNumber(c.text), c.value);
        EXPECT_EQ(IsNumber(c.text), c.whole);
    }
}

TEST(plistText, EscapeAndDecodeAreInverse) {
    EXPECT_EQ(Escape("a & b < c > d"), "a &amp; b &lt; c &gt; d");
    EXPECT_EQ(Escape("x\ry\nz"), "x&#13;y\nz");
    EXPECT_EQ(Escape("x\ny", true), "x&#10;y");
    EXPECT_EQ(Escape("\"quotes' stay\""), "\"quotes' stay\"");
    for (const char* t : {"&amp;", "&&&", "<>", "R&D\r\n", "&#38;", "caf\xC3\xA9"}) {
        EXPECT_EQ(Decode(Escape(t)), t);
        EXPECT_EQ(Decode(Escape(t, true)), t);
    }
}

}  // namespace
