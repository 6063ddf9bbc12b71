#include "ui/main/RowColour.h"

#include <gtest/gtest.h>

TEST(RowColour, GreyForUnsubscribedElseRedForUnreadElseTheListsOwn) {
    const QColor grey(100, 100, 100), red(255, 0, 0), own;
    const struct { const char* unread; const char* subscribed; QColor expected; } cases[] = {
        {"3", "1", red},   {"0", "1", own},  {"", "1", own},   // no articles: the sum is NULL
        {"3", "0", grey},  {"0", "0", grey}, {"", "0", grey},  // grey wins over red
        {"2", "", red},    {"2", "7", red},                    // subscribed NULL is not "0"
        {"00", "1", red},  {"0", "00", own}};                  // texts, not numbers
    for (const auto& c : cases) EXPECT_EQ(RowTextColour(c.unread, c.subscribed), c.expected)
            << "unread \"" << c.unread << "\", subscribed \"" << c.subscribed << '"';
}
