// OLE automation date arithmetic.
#include "model/oledate.h"

#include <algorithm>
#include <cmath>
#include <ctime>

#include "model/number.h"

namespace {

// Days from 1970-01-01 to y-m-d in the proleptic Gregorian calendar (Howard Hinnant's algorithm).
long long daysFromCivil(long long y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void civilFromDays(long long z, int& y, int& m, int& d)
{
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long yy = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}

// 1899-12-30 as days since 1970-01-01.
constexpr long long kOleEpoch = -25569;

// OLE dates between these bounds are 0100-01-01 .. 9999-12-31 23:59:59.
constexpr double kMinDate = -657434.0;
constexpr double kMaxDate = 2958465.99999;

int daysInMonth(int y, int m)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0))
        return 29;
    return days[m - 1];
}

bool parseInt(std::string_view& s, int& out)
{
    size_t i = 0;
    while (i < s.size() && s[i] == ' ')
        ++i;
    size_t start = i;
    long v = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9' && i - start < 9) {
        v = v * 10 + (s[i] - '0');
        ++i;
    }
    if (i == start)
        return false;
    out = static_cast<int>(v);
    s.remove_prefix(i);
    return true;
}

bool expect(std::string_view& s, char c)
{
    if (s.empty() || s.front() != c)
        return false;
    s.remove_prefix(1);
    return true;
}

} // namespace

std::optional<OleDateTime> OleDateTime::fromCalendar(const CalendarTime& t)
{
    if (t.year < 100 || t.year > 9999 || t.month < 1 || t.month > 12 || t.day < 1 ||
        t.day > daysInMonth(t.year, t.month) || t.hour < 0 || t.hour > 23 || t.minute < 0 ||
        t.minute > 59 || t.second < 0 || t.second > 59)
        return std::nullopt;
    long long days =
        daysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day)) -
        kOleEpoch;
    double frac = (t.hour * 3600 + t.minute * 60 + t.second) / 86400.0;
    // Before the epoch the fraction counts forward from the day, with the sign of the whole.
    double value = days >= 0 ? static_cast<double>(days) + frac : static_cast<double>(days) - frac;
    return OleDateTime{value, Valid};
}

OleDateTime OleDateTime::now()
{
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    CalendarTime c{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                   local.tm_hour,        local.tm_min,     std::min(local.tm_sec, 59)};
    return *fromCalendar(c);
}

std::optional<CalendarTime> OleDateTime::toCalendar() const
{
    if (!std::isfinite(date) || date < kMinDate || date > kMaxDate)
        return std::nullopt;
    double whole = std::trunc(date);
    double frac = std::fabs(date - whole);
    long long days = static_cast<long long>(whole);
    long long secs = std::llround(frac * 86400.0);
    if (secs >= 86400) {
        // Rounding reached midnight of the next calendar day. Before the epoch the whole part
        // still names the calendar day (-1.9999999 is 1899-12-29 23:59:59.99...), so the next
        // day is one more there too.
        secs -= 86400;
        days += 1;
    }
    CalendarTime c;
    civilFromDays(days + kOleEpoch, c.year, c.month, c.day);
    if (c.year > 9999)
        return std::nullopt; // the last fraction of 9999-12-31 rounded past the range
    c.hour = static_cast<int>(secs / 3600);
    c.minute = static_cast<int>(secs / 60 % 60);
    c.second = static_cast<int>(secs % 60);
    return c;
}

std::string OleDateTime::format(std::string_view pattern) const
{
    if (status == Null)
        return "";
    std::optional<CalendarTime> c;
    if (status == Valid)
        c = toCalendar();
    if (!c)
        return "Invalid DateTime";
    std::string out;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%' || i + 1 == pattern.size()) {
            out += pattern[i];
            continue;
        }
        switch (pattern[++i]) {
        case 'Y': out += formatC("%04d", c->year); break;
        case 'y': out += formatC("%02d", c->year % 100); break;
        case 'm': out += formatC("%02d", c->month); break;
        case 'd': out += formatC("%02d", c->day); break;
        case 'H': out += formatC("%02d", c->hour); break;
        case 'M': out += formatC("%02d", c->minute); break;
        case 'S': out += formatC("%02d", c->second); break;
        case '%': out += '%'; break;
        default: out += '%'; out += pattern[i];
        }
    }
    return out;
}

std::optional<OleDateTime> OleDateTime::parse(std::string_view text)
{
    std::string_view s = text;
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    if (s.empty())
        return std::nullopt;
    CalendarTime c;
    bool hasDate = false;
    int a = 0;
    std::string_view probe = s;
    if (!parseInt(probe, a))
        return std::nullopt;
    const std::size_t yearDigits = s.size() - probe.size();
    if (!probe.empty() && (probe.front() == '/' || probe.front() == '-')) {
        char sep = probe.front();
        int mo = 0, d = 0;
        probe.remove_prefix(1);
        if (!parseInt(probe, mo) || !expect(probe, sep) || !parseInt(probe, d))
            return std::nullopt;
        // A year written with one or two digits falls in 1930-2029, as the date conversion
        // of the desktop this data comes from reads it.
        c.year = yearDigits <= 2 ? (a < 30 ? 2000 + a : 1900 + a) : a;
        c.month = mo;
        c.day = d;
        hasDate = true;
        s = probe;
        while (!s.empty() && s.front() == ' ')
            s.remove_prefix(1);
    }
    if (!s.empty()) {
        int h = 0, mi = 0, sec = 0;
        if (!parseInt(s, h) || !expect(s, ':') || !parseInt(s, mi))
            return std::nullopt;
        if (!s.empty() && !(expect(s, ':') && parseInt(s, sec)))
            return std::nullopt;
        if (!s.empty())
            return std::nullopt;
        c.hour = h;
        c.minute = mi;
        c.second = sec;
    } else if (!hasDate) {
        return std::nullopt;
    }
    return fromCalendar(c);
}
