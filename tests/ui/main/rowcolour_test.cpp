#include "ui/main/RowColour.h"

#include <gtest/gtest.h>

namespace {

struct RowCase {
    const char* unread;
    const char* subscribed;
    QColor expected;   // invalid: the list's own colour
};

void PrintTo(const RowCase& c, std::ostream* os) { *os << '"' << c.unread << "\", \"" << c.subscribed << '"'; }

class RowColourTest : public ::testing::TestWithParam<RowCase> {};

TEST_P(RowColourTest, ColourFollowsTheTexts) {
    const RowCase c = GetParam();
    EXPECT_EQ(RowTextColour(c.unread, c.subscribed), c.expected)
        << "unread \"" << c.unread << "\", subscribed \"" << c.subscribed << "\"";
}

const QColor grey(100, 100, 100);
const QColor red(255, 0, 0);

INSTANTIATE_TEST_SUITE_P(
    Cases, RowColourTest,
    ::testing::Values(RowCase{"3", "1", red},            // subscribed with unread articles
                      RowCase{"0", "1", QColor()},       // all read
                      RowCase{"", "1", QColor()},        // no articles: the sum is NULL
                      RowCase{"3", "0", grey},           // grey wins over red
                      RowCase{"0", "0", grey},
                      RowCase{"", "0", grey},
                      RowCase{"2", "", red},             // subscribed NULL: not "0", so not grey
                      RowCase{"2", "7", red},
                      RowCase{"00", "1", red},           // texts, not numbers
                      RowCase{"0", "00", QColor()}));

}  // namespace
