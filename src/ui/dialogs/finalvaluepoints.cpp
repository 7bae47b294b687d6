// Pure parts of the final value selection: point lines, the elapsed correction, box numbers
// and applying the result to a record and its set.
#include "ui/dialogs/finalvaluepoints.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "model/cp932text.h"
#include "model/format.h"
#include "model/number.h"
#include "ui/common/entryrules.h"

namespace finalvalue {

std::string PointLineText(const std::vector<CMeasPoint>& points, long long i, int markedIndex,
                          int rangeFlag)
{
    if (i < 0 || i >= static_cast<long long>(points.size()))
        return {};
    const CMeasPoint& p = points[static_cast<std::size_t>(i)];
    const std::string& mark = i == markedIndex ? cp932::lit("●") : cp932::lit("  ");
    return "|" + mark + mxrfmt::PointTimeText(p) + "( " + mxrfmt::PointValueText(p, rangeFlag) +
           " )";
}

int FinalPointIndex(const CMeasRecord& record)
{
    const long long count = static_cast<long long>(record.Points.size());
    long long last = static_cast<long long>(record.UsedPoints) - 1;
    if (last >= count)
        last = count - 1;
    return last < 0 ? -1 : static_cast<int>(last);
}

void CorrectElapsedFrom(std::vector<CMeasPoint>& points, std::size_t selected)
{
    if (selected >= points.size())
        return;
    for (std::size_t i = 0; i < points.size(); ++i) {
        // The step count times a tenth, so that points far from the start read exactly as the
        // tester's own 0.2 s grid (no running sum that would drift).
        const double steps = i >= selected ? 2.0 * static_cast<double>(i - selected) : 0.0;
        points[i].elapsed = steps * 0.1;
    }
}

std::optional<double> ParseBoxNumber(std::string_view text, double min, double max)
{
    std::size_t b = 0, e = text.size();
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (b < e && blank(text[b]))
        ++b;
    while (e > b && blank(text[e - 1]))
        --e;
    if (b == e)
        return std::nullopt;
    std::string_view body = text.substr(b, e - b);
    // Only a plain decimal number: no hexadecimal, infinity or NaN spellings.
    for (char c : body)
        if (!((c >= '0' && c <= '9') || c == '.' || c == '+' || c == '-' || c == 'e' || c == 'E'))
            return std::nullopt;
    if (body.size() > 1 && body.front() == '+' && body[1] != '-')
        body.remove_prefix(1); // from_chars takes no plus sign
    // The whole text must be the number; from_chars always reads '.' as the point.
    double v = 0.0;
    const auto [end, ec] = std::from_chars(body.data(), body.data() + body.size(), v);
    if (ec != std::errc() || end != body.data() + body.size() || !std::isfinite(v))
        return std::nullopt;
    if (v < min || v > max)
        return std::nullopt;
    return v;
}

std::string BoxNumberText(double v)
{
    return formatC("%.15g", v);
}

std::string RangeMessage(double min, double max)
{
    return entry::rangeMessage(min, max);
}

} // namespace finalvalue
