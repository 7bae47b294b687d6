// Small text helpers shared by the analysis modules.
#include "analysis/analysistext.h"

#include <cmath>

#include "model/number.h"

namespace analysis::text {

std::string current(double microAmps)
{
    return formatC("%.3lf", microAmps);
}

std::string ratio(double v)
{
    return formatC("%.3lf", v);
}

std::string limit(double v)
{
    std::string s = formatC("%.3lf", v);
    // Keep one decimal at least: 10.000 → 10.0, 0.750 → 0.75.
    while (s.size() > 2 && s.back() == '0' && s[s.size() - 2] != '.')
        s.pop_back();
    return s;
}

bool isValue(double v)
{
    return std::isfinite(v) && v != UNSET_VALUE;
}

std::optional<double> dayOf(const OleDateTime& t)
{
    if (t.status != OleDateTime::Valid || !t.toCalendar())
        return std::nullopt;
    return std::floor(t.date);
}

} // namespace analysis::text
