// OLE automation date arithmetic, formatting and parsing.
#include <gtest/gtest.h>

#include <cmath>

#include "model/oledate.h"

namespace {

TEST(OleDate, CalendarRoundTrip)
{
    struct Case {
        CalendarTime t;
        double date;
    } cases[] = {
        {{1899, 12, 30, 0, 0, 0}, 0.0},
        {{1900, 1, 1, 0, 0, 0}, 2.0},
        {{1900, 3, 1, 0, 0, 0}, 61.0}, // no 1900-02-29 in this arithmetic
        {{2005, 12, 11, 0, 0, 0}, 38697.0},
        {{2005, 12, 11, 18, 0, 0}, 38697.75},
        {{2000, 2, 29, 12, 0, 0}, 36585.5},
        {{1899, 12, 29, 6, 0, 0}, -1.25}, // before the epoch the fraction counts forward
        {{100, 1, 1, 0, 0, 0}, -657434.0},
        {{9999, 12, 31, 0, 0, 0}, 2958465.0},
    };
    for (const auto& c : cases) {
        auto d = OleDateTime::fromCalendar(c.t);
        ASSERT_TRUE(d) << c.date;
        EXPECT_DOUBLE_EQ(d->date, c.date);
        EXPECT_EQ(d->status, OleDateTime::Valid);
        auto back = d->toCalendar();
        ASSERT_TRUE(back);
        EXPECT_EQ(back->year, c.t.year);
        EXPECT_EQ(back->month, c.t.month);
        EXPECT_EQ(back->day, c.t.day);
        EXPECT_EQ(back->hour, c.t.hour);
        EXPECT_EQ(back->minute, c.t.minute);
        EXPECT_EQ(back->second, c.t.second);
    }
}

TEST(OleDate, FieldsOutOfRange)
{
    const CalendarTime bad[] = {
        {1900, 2, 29, 0, 0, 0}, {2005, 13, 1, 0, 0, 0}, {2005, 0, 1, 0, 0, 0},
        {2005, 4, 31, 0, 0, 0}, {2005, 1, 1, 24, 0, 0}, {2005, 1, 1, 0, 60, 0},
        {2005, 1, 1, 0, 0, 60}, {99, 1, 1, 0, 0, 0},    {10000, 1, 1, 0, 0, 0},
        {2005, 1, 0, 0, 0, 0},  {2005, 1, 1, -1, 0, 0},
    };
    for (const auto& t : bad)
        EXPECT_FALSE(OleDateTime::fromCalendar(t)) << t.year << "-" << t.month << "-" << t.day;
    EXPECT_TRUE(OleDateTime::fromCalendar({2000, 2, 29, 0, 0, 0}));
}

TEST(OleDate, FormatRoundsToNearestSecond)
{
    OleDateTime d{38697.0 + (10 * 3600 + 20 * 60 + 30) / 86400.0, OleDateTime::Valid};
    EXPECT_EQ(d.format("%Y/%m/%d %H:%M:%S"), "2005/12/11 10:20:30");
    EXPECT_EQ(d.format("%y|%%|%Q|%"), "05|%|%Q|%");
    d.date -= 0.49 / 86400;
    EXPECT_EQ(d.format("%H:%M:%S"), "10:20:30");
    d.date -= 0.02 / 86400;
    EXPECT_EQ(d.format("%H:%M:%S"), "10:20:29");

    // The last half second of a day belongs to the next one, also before the epoch.
    EXPECT_EQ((OleDateTime{38697.9999999, OleDateTime::Valid}).format("%Y/%m/%d %H:%M:%S"),
              "2005/12/12 00:00:00");
    EXPECT_EQ((OleDateTime{-1.9999999, OleDateTime::Valid}).format("%Y/%m/%d %H:%M:%S"),
              "1899/12/30 00:00:00");
    EXPECT_EQ((OleDateTime{-2.9999999, OleDateTime::Valid}).format("%Y/%m/%d %H:%M:%S"),
              "1899/12/29 00:00:00");
}

TEST(OleDate, FormatStatusAndRange)
{
    EXPECT_EQ((OleDateTime{38697.0, OleDateTime::Null}).format("%Y"), "");
    EXPECT_EQ((OleDateTime{38697.0, OleDateTime::Invalid}).format("%Y"), "Invalid DateTime");
    for (double bad : {-657435.0, 2958466.0, 2958465.9999999, double(NAN), double(INFINITY)})
        EXPECT_EQ((OleDateTime{bad, OleDateTime::Valid}).format("%Y"), "Invalid DateTime") << bad;
    EXPECT_EQ((OleDateTime{3.0, 7}).format("%Y"), "Invalid DateTime"); // unknown status
}

TEST(OleDate, Parse)
{
    struct Case {
        const char* text;
        const char* shown; // nullptr: not a date
    } cases[] = {
        {"2005/12/11 10:20:30", "2005/12/11 10:20:30"},
        {"  2005/1/2  ", "2005/01/02 00:00:00"},
        {"2005-12-11 7:05", "2005/12/11 07:05:00"},
        {"10:20:30", "1899/12/30 10:20:30"},
        {"05/12/11", "2005/12/11 00:00:00"},
        {"29/12/11", "2029/12/11 00:00:00"},
        {"30/12/11", "1930/12/11 00:00:00"},
        {"0099/1/1", nullptr},
        {"2005/12/11 10:20:30 x", nullptr},
        {"2005/12-11", nullptr},
        {"2005/02/30", nullptr},
        {"2005/12/11 25:00", nullptr},
        {"2005/12/11 10:", nullptr},
        {"2005", nullptr},
        {"", nullptr},
        {"   ", nullptr},
        {"Invalid DateTime", nullptr},
        {"99999999999/1/1", nullptr},
    };
    for (const auto& c : cases) {
        auto d = OleDateTime::parse(c.text);
        if (!c.shown) {
            EXPECT_FALSE(d) << c.text;
            continue;
        }
        ASSERT_TRUE(d) << c.text;
        EXPECT_EQ(d->format("%Y/%m/%d %H:%M:%S"), c.shown) << c.text;
    }
}

TEST(OleDate, NowIsValid)
{
    OleDateTime now = OleDateTime::now();
    EXPECT_EQ(now.status, OleDateTime::Valid);
    EXPECT_GT(now.date, 38697.0);
}

} // namespace
