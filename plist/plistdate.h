#pragma once
// The date value of the property-list store: local calendar fields, no time zone.

#include <cstdint>
#include <string_view>

struct plistDate {
    /// Holds the current local date and time.
    plistDate();
    plistDate(std::int32_t year, std::int32_t month, std::int32_t day, std::int32_t hour = 0,
              std::int32_t minute = 0, std::int32_t second = 0);

    /// Reads a "YYYY-MM-DD" date (month and day may have one digit); on success sets the date and a time of
    /// 00:00:00. Returns false and changes nothing when the text is no valid calendar date.
    bool ParseDate(std::string_view text);

    std::int32_t year = 0;
    std::int32_t month = 0;
    std::int32_t day = 0;
    std::int32_t hour = 0;
    std::int32_t minute = 0;
    std::int32_t second = 0;
};
