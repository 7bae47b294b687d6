// Display texts of values, judgments, criteria and dates, and the date/time text editors'
// inverse operations.
#include "model/format.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "model/cp932text.h"
#include "model/fixedtext.h"
#include "model/number.h"

namespace mxrfmt {
namespace {

// Number of leading points that really exist: UsedPoints from a damaged file may exceed them.
int usedPointCount(const CMeasRecord& r)
{
    if (r.UsedPoints <= 0)
        return 0;
    return static_cast<std::size_t>(r.UsedPoints) < r.Points.size()
               ? r.UsedPoints
               : static_cast<int>(r.Points.size());
}

// "%.1lf (良)" and its variants: the number as "%*.*lf" (width, precision), then the
// judgment word.
std::string judged(int precision, int width, double v, Judgment j)
{
    std::string out = fixedtext::Text(v, precision, width);
    out += " (";
    out += JudgmentWord(j);
    out += ')';
    return out;
}

// "<lead>%.Nlf～%.Nlf<tail>" as the criterion columns show it (N = precision).
std::string criterion(const std::string& lead, int precision, double min, double max,
                      const std::string& tail)
{
    static const std::string& tilde = cp932::lit("～");
    std::string out = lead;
    fixedtext::Append(out, min, precision);
    out += tilde;
    fixedtext::Append(out, max, precision);
    out += tail;
    return out;
}

// A record's start time with one part replaced by edited text: the edited part and the
// other part as the record shows it now, joined "date time" and parsed. When the record has
// no valid date-time the other part is left out, so that a record whose date was lost can
// still be repaired through either editor instead of being refused forever.
void setStartFromParts(CMeasRecord& r, std::string_view datePart, std::string_view clockPart)
{
    std::string joined(datePart);
    joined += ' ';
    joined += clockPart;
    if (auto parsed = OleDateTime::parse(joined))
        r.StartTime = *parsed;
    else
        r.StartTime = OleDateTime{0.0, OleDateTime::Invalid};
}

// True when the record's start time shows as a date rather than "" or "Invalid DateTime".
bool hasShownDate(const CMeasRecord& r)
{
    return r.StartTime.status == OleDateTime::Valid && r.StartTime.toCalendar().has_value();
}

} // namespace

char* WriteElapsed(char* out, double seconds)
{
    if (!IsValidElapsed(seconds)) {
        // Only a damaged file holds such a time; never convert it to an integer.
        std::memcpy(out, "---", 3);
        return out + 3;
    }
    const bool negative = seconds < 0.0;
    // Whole seconds and tenths rounded half away from zero, done with integer conversions
    // (the time is bounded, so they truncate exactly) rather than library calls.
    const double s = std::fabs(seconds);
    long long n = static_cast<long long>(s);
    const double tenthsExact = (s - static_cast<double>(n)) * 10.0;
    long long tenths = static_cast<long long>(tenthsExact);
    if (tenthsExact - static_cast<double>(tenths) >= 0.5)
        ++tenths;
    if (tenths >= 10) {
        // 59.96 s reads as one minute, not "00:59.10" or "00:59.0".
        tenths = 0;
        ++n;
    }
    if (negative && (n > 0 || tenths > 0))
        *out++ = '-';
    // Minutes with at least two digits; a valid time has at most four (1666 minutes).
    static_assert(kMaxElapsedSeconds < 10000 * 60, "minutes are written with up to 4 digits");
    const int minutes = static_cast<int>(n / 60);
    const int secs = static_cast<int>(n % 60);
    if (minutes >= 1000)
        *out++ = static_cast<char>('0' + minutes / 1000);
    if (minutes >= 100)
        *out++ = static_cast<char>('0' + minutes / 100 % 10);
    out[0] = static_cast<char>('0' + minutes / 10 % 10);
    out[1] = static_cast<char>('0' + minutes % 10);
    out += 2;
    out[0] = ':';
    out[1] = static_cast<char>('0' + secs / 10);
    out[2] = static_cast<char>('0' + secs % 10);
    out[3] = '.';
    out[4] = static_cast<char>('0' + tenths);
    return out + 5;
}

std::string ElapsedText(double seconds)
{
    char buffer[kMaxElapsedChars];
    return std::string(buffer, WriteElapsed(buffer, seconds));
}

std::string TestVoltageText(const CMeasRecord& r)
{
    return fixedtext::Text(r.TestVoltage, 2);
}

std::string TriggerLevelText(const CMeasRecord& r)
{
    return fixedtext::Text(r.TriggerLevel, 1);
}

std::string LastCurrentText(const CMeasRecord& r)
{
    if (r.LastCurrent == UNSET_VALUE)
        return "---"; // no final value (the final point was invalid)
    return CurrentText(r.LastCurrent, r.RangeFlag);
}

std::string LastCurrentJudgedText(const CMeasRecord& r)
{
    if (r.LastCurrent == UNSET_VALUE || !std::isfinite(r.LastCurrent))
        return "---"; // none, or a number only a damaged file holds: no judgment
    return judged(r.RangeFlag == 1 ? 1 : 3, 6, r.LastCurrent, r.JudgeLastCurrent());
}

std::string SeikyokuJudgedText(const CMeasRecord& r)
{
    if (r.ShowSeikyoku == 0)
        return "";
    if (r.SeikyokuRatio == UNSET_VALUE || !std::isfinite(r.SeikyokuRatio))
        return "---"; // none, or a number only a damaged file holds: no judgment
    return judged(1, 0, r.SeikyokuRatio, r.JudgeSeikyoku());
}

std::string JyakutenJudgedText(const CMeasRecord& r)
{
    if (r.ShowJyakuten == 0)
        return "";
    if (r.JyakutenRatio == UNSET_VALUE || !std::isfinite(r.JyakutenRatio))
        return "---"; // none, or a number only a damaged file holds: no judgment
    return judged(1, 0, r.JyakutenRatio, r.JudgeJyakuten());
}

std::string MeasuringTimeText(const CMeasRecord& r)
{
    const int n = usedPointCount(r);
    if (n == 0)
        return "0.0";
    return ElapsedText(r.Points[static_cast<std::size_t>(n - 1)].elapsed);
}

std::string StartDateTimeText(const CMeasRecord& r)
{
    return r.StartTime.format("%Y/%m/%d %H:%M:%S");
}

std::string StartDateText(const CMeasRecord& r)
{
    return r.StartTime.format("%Y/%m/%d");
}

std::string StartClockText(const CMeasRecord& r)
{
    return r.StartTime.format("%H:%M:%S");
}

char* WriteCurrent(char* out, double microAmps, int rangeFlag)
{
    if (!std::isfinite(microAmps)) {
        // Only a damaged file holds such a current.
        std::memcpy(out, "---", 3);
        return out + 3;
    }
    return fixedtext::Write(out, microAmps, rangeFlag == 1 ? 1 : 3, 6);
}

std::string CurrentText(double microAmps, int rangeFlag)
{
    char buffer[kMaxCurrentChars];
    return std::string(buffer, WriteCurrent(buffer, microAmps, rangeFlag));
}

std::string PointValueText(const CMeasPoint& p, int rangeFlag)
{
    return CurrentText(p.value.toDouble(), rangeFlag);
}

std::string PointTimeText(const CMeasPoint& p)
{
    return ElapsedText(p.elapsed);
}

std::string TriggerStartText(const CTriggerEvent& e)
{
    return ElapsedText(e.start);
}

std::string TriggerStopText(const CTriggerEvent& e)
{
    return ElapsedText(e.stop);
}

std::string TriggerMaxText(const CTriggerEvent& e, int rangeFlag)
{
    return CurrentText(e.maximum.toDouble(), rangeFlag);
}

std::string ConditionText(const CTestCondition& c)
{
    return CabKindText(c.CabKind);
}

std::string NumberText(double v)
{
    return fixedtext::Text(v, 1);
}

std::string InsulationText(double v)
{
    if (v == UNSET_VALUE)
        return "";
    if (v == 0.0)
        return "0";
    if (v == std::trunc(v))
        return fixedtext::Text(v, 0);
    // At most five characters and no trailing zero, but only decimals are ever dropped:
    // 10000.5 reads "10000", never "1".
    std::string s = fixedtext::Text(v, 2);
    const std::size_t dot = s.find('.');
    if (dot == std::string::npos)
        return s; // "nan", "inf": nothing to trim
    while (s.size() > dot + 1 && (s.size() > 5 || s.back() == '0'))
        s.pop_back();
    if (s.back() == '.')
        s.pop_back();
    return s;
}

std::string SeikyokuCriterionText(const CTestCondition& c)
{
    static const std::string& lead = cp932::lit("不良← ");
    static const std::string& tail = cp932::lit(" →良");
    return criterion(lead, 1, c.SeikyokuMin, c.SeikyokuMax, tail);
}

std::string JyakutenCriterionText(const CTestCondition& c)
{
    static const std::string& lead = cp932::lit("　良← ");
    static const std::string& tail = cp932::lit(" →不良");
    return criterion(lead, 1, c.JyakutenMin, c.JyakutenMax, tail);
}

std::string LastCurrentCriterionText(const CTestCondition& c)
{
    static const std::string& lead = cp932::lit("　良← ");
    static const std::string& tail = cp932::lit(" →不良");
    return criterion(lead, 3, c.LastCurrentMin, c.LastCurrentMax, tail);
}

void SetStartDateFromText(CMeasRecord& r, std::string_view dateText)
{
    const std::string clock = hasShownDate(r) ? StartClockText(r) : std::string();
    setStartFromParts(r, dateText, clock);
}

void SetStartClockFromText(CMeasRecord& r, std::string_view clockText)
{
    const std::string date = hasShownDate(r) ? StartDateText(r) : std::string();
    setStartFromParts(r, date, clockText);
}

} // namespace mxrfmt
