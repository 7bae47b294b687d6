// Final value, trigger events, ratios and judgments of measurement records.
#include "model/measrecord.h"

#include <algorithm>

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
        if (t <= valid)
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
    LastCurrent = n > 0 ? Points[n - 1].value.toDouble() : 0.0;
}

bool CMeasRecord::ValueAtTime(double t, double& out) const
{
    for (const CMeasPoint& p : Points) {
        out = p.value.toDouble();
        if (p.elapsed >= t)
            return true;
    }
    return false;
}

void CMeasRecord::PeakValues(bool fromFirst, double& maxValue, double& maxTime) const
{
    const int n = std::min<int>(UsedPoints, static_cast<int>(Points.size()));
    if (n <= 0)
        return;
    if (fromFirst) {
        maxValue = Points[0].value.toDouble();
        maxTime = Points[0].elapsed;
    }
    for (int i = 0; i < n; ++i) {
        const double v = Points[i].value.toDouble();
        if (v > maxValue)
            maxValue = v;
        if (Points[i].elapsed > maxTime)
            maxTime = Points[i].elapsed;
    }
}

double CMeasRecord::FinalPointValue() const
{
    const int n = std::min<int>(UsedPoints, static_cast<int>(Points.size()));
    return n > 0 ? Points[n - 1].value.toDouble() : 0.0;
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

double finalOrSubstitute(const CMeasRecord& r)
{
    const double i = r.FinalPointValue();
    return i == 0.0 ? SUBSTITUTE_DIVISOR : i;
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
        if (!r.ValueAtTime(60.0, atMinute))
            continue;
        r.SeikyokuRatio = atMinute / finalOrSubstitute(r);
        if (i + 1 < records.size()) {
            const double x = r.TestVoltage / finalOrSubstitute(r);
            double y = records[i + 1].TestVoltage / finalOrSubstitute(records[i + 1]);
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
