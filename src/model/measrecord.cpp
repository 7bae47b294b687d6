// Final value, trigger events, ratios and judgments of measurement records.
#include "model/measrecord.h"

#include <algorithm>
#include <cmath>

#include "model/cp932text.h"
#include "model/measdata.h"

int32_t CabKindFromText(const std::string& text)
{
    for (int32_t code = CabKindThreePhase; code <= CabKindT; ++code)
        if (text == CabKindText(code))
            return code;
    return CabKindNone;
}

const std::string& CabKindText(int32_t code)
{
    switch (code) {
    case CabKindThreePhase: return cp932::lit("３相一括");
    case CabKindR: return cp932::lit("Ｒ相");
    case CabKindS: return cp932::lit("Ｓ相");
    case CabKindT: return cp932::lit("Ｔ相");
    default: {
        static const std::string none = "None";
        return none;
    }
    }
}

CTestCondition ConditionFromDefaults(const DefaultConditionTexts& t)
{
    CTestCondition c;
    c.CabKind = CabKindFromText(t.CabKind);
    c.Shindan = t.Shindan;
    c.CurrentR = mxrAtof(t.CurrentR);
    c.CurrentS = mxrAtof(t.CurrentS);
    c.CurrentT = mxrAtof(t.CurrentT);
    c.ShisuZetuen = optionalNumber(t.ShisuZetuen);
    c.CabSectionalArea = mxrAtof(t.CabSectionalArea);
    c.CabLength = mxrAtof(t.CabLength);
    c.SeikyokuMin = mxrAtof(t.SeikyokuMin);
    c.SeikyokuMax = mxrAtof(t.SeikyokuMax);
    c.JyakutenMin = mxrAtof(t.JyakutenMin);
    c.JyakutenMax = mxrAtof(t.JyakutenMax);
    c.LastCurrentMin = mxrAtof(t.LastCurrentMin);
    c.LastCurrentMax = mxrAtof(t.LastCurrentMax);
    return c;
}

bool IsValidElapsed(double seconds)
{
    return std::isfinite(seconds) && std::fabs(seconds) <= kMaxElapsedSeconds;
}

bool IsValidPoint(const CMeasPoint& p)
{
    return IsValidElapsed(p.elapsed) && std::isfinite(p.value.toDouble());
}

void CMeasRecord::RecalcFinalAndTriggers(int n, int triggValidSec)
{
    const int count = static_cast<int>(Points.size());
    if (n < 0 || n > count)
        n = count; // -1 means all; never index past the points we have
    UsedPoints = n;
    Triggers.clear();

    const double level = TriggerLevel;
    const double valid = triggValidSec;
    bool inEvent = false;
    double start = 0.0, stop = 0.0, max = 0.0;
    for (int i = 0; i < n; ++i) {
        const double t = Points[i].elapsed;
        const double v = Points[i].value.toDouble();
        if (!IsValidPoint(Points[i]) || t <= valid)
            continue;
        if (!inEvent) {
            if (v >= level) {
                inEvent = true;
                start = stop = t;
                max = v;
            }
            continue;
        }
        if (v > max)
            max = v;
        if (v >= level) {
            stop = t;
        } else {
            Triggers.push_back({CDataValue(max), start, stop});
            inEvent = false;
        }
    }
    if (inEvent)
        Triggers.push_back({CDataValue(max), start, stop});
    LastCurrent = FinalPointValue().value_or(UNSET_VALUE);
}

bool CMeasRecord::ValueAtTime(double t, double& out) const
{
    for (const CMeasPoint& p : Points) {
        if (!IsValidPoint(p))
            continue;
        out = p.value.toDouble();
        if (p.elapsed >= t)
            return true;
    }
    return false;
}

void CMeasRecord::PeakValues(bool fromFirst, double& maxValue, double& maxTime) const
{
    const int n = std::min<int>(UsedPoints, static_cast<int>(Points.size()));
    bool first = fromFirst;
    for (int i = 0; i < n; ++i) {
        if (!IsValidPoint(Points[i]))
            continue;
        const double v = Points[i].value.toDouble();
        if (first) {
            maxValue = v;
            maxTime = Points[i].elapsed;
            first = false;
        }
        if (v > maxValue)
            maxValue = v;
        if (Points[i].elapsed > maxTime)
            maxTime = Points[i].elapsed;
    }
}

std::optional<double> CMeasRecord::FinalPointValue() const
{
    const int n = std::min<int>(UsedPoints, static_cast<int>(Points.size()));
    if (n <= 0)
        return 0.0;
    const CMeasPoint& last = Points[static_cast<std::size_t>(n - 1)];
    if (!IsValidPoint(last))
        return std::nullopt;
    return last.value.toDouble();
}

Judgment JudgeHighIsGood(double v, double min, double max)
{
    if (v <= min)
        return Judgment::Bad;
    if (v >= max)
        return Judgment::Good;
    return Judgment::Caution;
}

Judgment JudgeLowIsGood(double v, double min, double max)
{
    if (v <= min)
        return Judgment::Good;
    if (v >= max)
        return Judgment::Bad;
    return Judgment::Caution;
}

Judgment CMeasRecord::JudgeSeikyoku() const
{
    return JudgeHighIsGood(SeikyokuRatio, Condition.SeikyokuMin, Condition.SeikyokuMax);
}

Judgment CMeasRecord::JudgeJyakuten() const
{
    return JudgeLowIsGood(JyakutenRatio, Condition.JyakutenMin, Condition.JyakutenMax);
}

Judgment CMeasRecord::JudgeLastCurrent() const
{
    return JudgeLowIsGood(LastCurrent, Condition.LastCurrentMin, Condition.LastCurrentMax);
}

const std::string& JudgmentWord(Judgment j)
{
    switch (j) {
    case Judgment::Good: return cp932::lit("良");
    case Judgment::Caution: return cp932::lit("注意");
    default: return cp932::lit("不良");
    }
}

std::size_t CMeasData::InsertRecord(const CMeasRecord& record)
{
    std::ptrdiff_t lo = 0, hi = static_cast<std::ptrdiff_t>(m_records.size()) - 1;
    std::ptrdiff_t at = -1;
    while (lo <= hi) {
        const std::ptrdiff_t mid = (lo + hi) / 2;
        const double v = m_records[static_cast<std::size_t>(mid)].TestVoltage;
        if (v > record.TestVoltage) {
            hi = mid - 1;
        } else if (v < record.TestVoltage) {
            lo = mid + 1;
        } else {
            at = mid;
            break;
        }
    }
    if (at < 0)
        at = lo;
    m_records.insert(m_records.begin() + at, record);
    return static_cast<std::size_t>(at);
}

namespace {

// The final current as a divisor, or nothing when the final point is invalid: a ratio built
// on it would be a number without meaning.
std::optional<double> finalOrSubstitute(const CMeasRecord& r)
{
    const std::optional<double> i = r.FinalPointValue();
    if (!i)
        return std::nullopt;
    return *i == 0.0 ? SUBSTITUTE_DIVISOR : *i;
}

} // namespace

void RecalcRatios(CMeasData& set)
{
    auto& records = set.Records();
    for (std::size_t i = 0; i < records.size(); ++i) {
        CMeasRecord& r = records[i];
        r.SeikyokuRatio = UNSET_VALUE;
        r.JyakutenRatio = UNSET_VALUE;
        double atMinute = 0.0;
        const std::optional<double> final = finalOrSubstitute(r);
        if (!r.ValueAtTime(60.0, atMinute) || !final)
            continue;
        r.SeikyokuRatio = atMinute / *final;
        if (i + 1 < records.size()) {
            const std::optional<double> nextFinal = finalOrSubstitute(records[i + 1]);
            if (!nextFinal)
                continue;
            const double x = r.TestVoltage / *final;
            double y = records[i + 1].TestVoltage / *nextFinal;
            if (y == 0.0)
                y = SUBSTITUTE_DIVISOR;
            r.JyakutenRatio = x / y;
        }
    }
    if (!records.empty())
        records.back().JyakutenRatio = UNSET_VALUE;
}

void ApplyCondition(CMeasData& set, const CTestCondition& condition)
{
    for (CMeasRecord& r : set.Records())
        r.Condition = condition;
}
