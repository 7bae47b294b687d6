// Step test: final current against test voltage, a line through the lower steps, the knee.
#include "analysis/steptest.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "analysis/analysistext.h"
#include "model/cp932text.h"

namespace analysis {
namespace {

using cp932::lit;

// Least-squares slope of I = slope × V through the origin over steps [0, n).
double slopeThroughOrigin(const std::vector<StepPoint>& steps, std::size_t n)
{
    double vi = 0, vv = 0;
    for (std::size_t j = 0; j < n; ++j) {
        vi += steps[j].testVoltage * steps[j].finalValue;
        vv += steps[j].testVoltage * steps[j].testVoltage;
    }
    return vv > 0 ? vi / vv : 0.0;
}

bool later(const CMeasRecord& a, const CMeasRecord& b)
{
    if (a.StartTime.status == OleDateTime::Valid && b.StartTime.status == OleDateTime::Valid)
        return a.StartTime.date >= b.StartTime.date;
    return true;
}

} // namespace

StepCurve AnalyzeStepCurve(Phase phase, std::vector<StepPoint> steps, double kneeFactor)
{
    StepCurve c;
    c.phase = phase;
    c.steps = std::move(steps);
    for (std::size_t k = 1; k < c.steps.size(); ++k) {
        StepPoint& s = c.steps[k];
        s.predicted = slopeThroughOrigin(c.steps, k) * s.testVoltage;
        s.departure = s.finalValue / (s.predicted > 0 ? s.predicted : SUBSTITUTE_DIVISOR);
        if (c.kneeIndex < 0 && s.departure > kneeFactor) {
            s.knee = true;
            c.kneeIndex = static_cast<int>(k);
        }
    }
    c.slope = slopeThroughOrigin(c.steps, c.kneeIndex < 0 ? c.steps.size()
                                                          : static_cast<std::size_t>(c.kneeIndex));
    // One line for the chart and the table alike. At the knee its value is the prediction
    // the knee was found with (both come from the steps below the knee).
    if (c.steps.size() > 1)
        for (StepPoint& s : c.steps) {
            s.lineValue = c.slope * s.testVoltage;
            s.lineRatio = s.finalValue / (s.lineValue > 0 ? s.lineValue : SUBSTITUTE_DIVISOR);
        }
    if (c.steps.size() < 2) {
        c.text = lit("段階が1つのみ");
    } else if (c.kneeIndex < 0) {
        c.text = lit("屈曲点なし");
    } else {
        const StepPoint& s = c.steps[static_cast<std::size_t>(c.kneeIndex)];
        c.text = formatC("%.2lf kV ", s.testVoltage) + lit("で直線から ") +
                 formatC("%.1lf", s.departure) + lit(" 倍に増加 (屈曲点)");
    }
    return c;
}

std::vector<StepCurve> AnalyzeSteps(const CMeasData& set, const AnalysisThresholds& t)
{
    // Per phase, per voltage (10 V steps): the latest record with a final value.
    std::map<int, std::map<long long, std::size_t>> byPhase;
    const auto& records = set.Records();
    for (std::size_t i = 0; i < records.size(); ++i) {
        const CMeasRecord& r = records[i];
        if (r.UsedPoints <= 0 || r.Points.empty() || !text::isValue(r.LastCurrent) ||
            !std::isfinite(r.TestVoltage))
            continue;
        auto& steps = byPhase[static_cast<int>(RecordPhase(r))];
        const long long v = std::llround(r.TestVoltage * 100.0);
        auto it = steps.find(v);
        if (it == steps.end())
            steps.emplace(v, i);
        else if (later(r, records[it->second]))
            it->second = i;
    }
    std::vector<StepCurve> out;
    for (const auto& [phase, steps] : byPhase) {
        std::vector<StepPoint> points;
        for (const auto& [volt, index] : steps) {
            const CMeasRecord& r = records[index];
            StepPoint p;
            p.index = index;
            p.testVoltage = r.TestVoltage;
            p.finalValue = r.LastCurrent;
            p.jyakutenRatio = r.JyakutenRatio;
            points.push_back(p);
        }
        out.push_back(AnalyzeStepCurve(static_cast<Phase>(phase), std::move(points), t.kneeFactor));
    }
    return out;
}

} // namespace analysis
