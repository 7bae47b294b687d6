// OLE automation dates: days since 1899-12-30 00:00 with the time of day as the fraction.
// Pure arithmetic, no time zone involved.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct CalendarTime {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

struct OleDateTime {
    enum Status : int32_t { Valid = 0, Invalid = 1, Null = 2 };

    double date = 0.0;
    int32_t status = Invalid;

    // A valid date-time from calendar fields; nothing when a field is out of range
    // (years 100 to 9999, months 1-12, days of that month, 0-23, 0-59, 0-59).
    static std::optional<OleDateTime> fromCalendar(const CalendarTime& t);
    // The current local date and time, valid.
    static OleDateTime now();

    // Calendar fields rounded to the nearest second; nothing for an out-of-range value.
    std::optional<CalendarTime> toCalendar() const;

    // strftime-style formatting for the codes %Y %y %m %d %H %M %S and %%.
    // Status Null gives "", status Invalid (or a value out of range) "Invalid DateTime".
    std::string format(std::string_view pattern) const;

    // Parses "Y/M/D H:M:S", "Y/M/D" or "H:M:S" (also with '-' between the date fields).
    // A time alone refers to 1899-12-30. Nothing when the text is not a date-time.
    static std::optional<OleDateTime> parse(std::string_view text);

    bool operator==(const OleDateTime&) const = default;
};
