// Curve signs of one measurement: trigger kicks, spikes above the local median, a gradual rise
// at the end, and the combined rule on final value and polarization ratio.
#include "analysis/curvesigns.h"

#include <algorithm>
#include <cmath>

#include "analysis/analysistext.h"
#include "analysis/selectkth.h"
#include "model/cp932text.h"
#include "model/format.h"

namespace analysis {
namespace {

using cp932::lit;

// The valid used points of a record as two plain arrays.
struct Series {
    std::vector<double> t; // elapsed seconds
    std::vector<double> v; // μA
};

Series usedSeries(const CMeasRecord& r)
{
    Series s;
    const std::size_t n = std::min<std::size_t>(
        r.UsedPoints > 0 ? static_cast<std::size_t>(r.UsedPoints) : 0, r.Points.size());
    s.t.reserve(n);
    s.v.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const CMeasPoint& p = r.Points[i];
        if (!IsValidPoint(p))
            continue;
        s.t.push_back(p.elapsed);
        s.v.push_back(p.value.toDouble());
    }
    return s;
}

// Median of v[from, to) using scratch space; the range is not empty.
double medianOf(const std::vector<double>& v, std::size_t from, std::size_t to,
                std::vector<double>& scratch)
{
    scratch.assign(v.begin() + static_cast<std::ptrdiff_t>(from),
                   v.begin() + static_cast<std::ptrdiff_t>(to));
    const std::size_t mid = scratch.size() / 2;
    double m = SelectKth(scratch.data(), scratch.size(), mid);
    if (scratch.size() % 2 == 0) {
        double lower = scratch[0]; // the largest of the lower half, all no greater than m
        for (std::size_t i = 1; i < mid; ++i)
            lower = std::max(lower, scratch[i]);
        m = (m + lower) / 2.0;
    }
    return m;
}

// Consecutive blocks of `width` seconds from index `from` on: each block's centre time and
// median current.
struct Blocks {
    std::vector<double> centre;
    std::vector<double> median;
};

Blocks blockMedians(const Series& s, std::size_t from, double width, std::vector<double>& scratch)
{
    Blocks b;
    std::size_t i = from;
    while (i < s.t.size()) {
        std::size_t j = i + 1;
        while (j < s.t.size() && s.t[j] < s.t[i] + width)
            ++j;
        b.centre.push_back((s.t[i] + s.t[j - 1]) / 2.0);
        b.median.push_back(medianOf(s.v, i, j, scratch));
        i = j;
    }
    return b;
}

std::string timeText(double seconds)
{
    return mxrfmt::ElapsedText(seconds);
}

bool overlapsTrigger(const CMeasRecord& r, double start, double stop)
{
    for (const CTriggerEvent& e : r.Triggers)
        if (start <= e.stop && e.start <= stop)
            return true;
    return false;
}

void findSpikes(const CMeasRecord& r, const Series& s, const AnalysisThresholds& t,
                std::vector<double>& scratch, std::vector<CurveSign>& out)
{
    std::size_t from = 0;
    while (from < s.t.size() && s.t[from] <= t.triggValidSec)
        ++from;
    if (from >= s.t.size() || !(t.spikeWindowSeconds > 0))
        return;
    const Blocks b = blockMedians(s, from, t.spikeWindowSeconds, scratch);
    // The local median at time x: linear between the centres of neighbouring blocks, so a
    // decaying curve is followed within a block.
    std::size_t k = 0;
    const auto localMedian = [&](double x) {
        while (k + 1 < b.centre.size() && b.centre[k + 1] <= x)
            ++k;
        if (x <= b.centre[k] || k + 1 >= b.centre.size())
            return b.median[k];
        const double f = (x - b.centre[k]) / (b.centre[k + 1] - b.centre[k]);
        return b.median[k] + f * (b.median[k + 1] - b.median[k]);
    };

    bool in = false;
    CurveSign sign;
    for (std::size_t i = from; i <= s.t.size(); ++i) {
        bool spike = false;
        double ref = 0.0;
        if (i < s.t.size()) {
            ref = localMedian(s.t[i]);
            spike = s.v[i] > t.spikeFactor * ref && s.v[i] - ref >= t.spikeMinDelta;
        }
        if (spike) {
            if (!in) {
                in = true;
                sign = CurveSign{};
                sign.kind = SignKind::Spike;
                sign.start = s.t[i];
                sign.value = s.v[i];
                sign.reference = ref;
            }
            sign.stop = s.t[i];
            if (s.v[i] > sign.value) {
                sign.value = s.v[i];
                sign.reference = ref;
            }
        } else if (in) {
            in = false;
            if (overlapsTrigger(r, sign.start, sign.stop))
                continue; // already reported as a trigger kick
            const std::string factor =
                sign.reference > 0
                    ? lit(" の ") + formatC("%.1lf", sign.value / sign.reference) + lit(" 倍")
                    : std::string();
            sign.text = lit("スパイク ") + timeText(sign.start) + lit(" 最大 ") +
                        text::current(sign.value) + lit(" μA (局所中央値 ") +
                        text::current(sign.reference) + lit(" μA") + factor + ")";
            out.push_back(sign);
        }
    }
}

// Theil-Sen slope of (x, y): the median of the slopes of all pairs with distinct x.
double theilSen(const std::vector<double>& x, const std::vector<double>& y,
                std::vector<double>& scratch)
{
    scratch.clear();
    for (std::size_t i = 0; i < x.size(); ++i)
        for (std::size_t j = i + 1; j < x.size(); ++j)
            if (x[j] != x[i])
                scratch.push_back((y[j] - y[i]) / (x[j] - x[i]));
    if (scratch.empty())
        return 0.0;
    std::vector<double> slopes;
    slopes.swap(scratch);
    const double m = medianOf(slopes, 0, slopes.size(), scratch);
    return m;
}

RiseFit fitRise(const Series& s, const AnalysisThresholds& t, std::vector<double>& scratch)
{
    RiseFit f;
    if (s.t.empty() || !(t.riseWindowMinutes > 0))
        return f;
    const double end = s.t.back();
    // The first minute is dominated by the absorption current, whatever the cable's state.
    const double earliest = std::max(60.0, static_cast<double>(t.triggValidSec));
    f.windowStop = end;
    f.windowStart = std::max(earliest, end - t.riseWindowMinutes * 60.0);
    if (f.windowStop - f.windowStart < 60.0)
        return f;
    const auto first = static_cast<std::size_t>(
        std::lower_bound(s.t.begin(), s.t.end(), f.windowStart) - s.t.begin());
    // 5-second medians, but no more than kMaxRiseBins of them: the pair count of the
    // Theil-Sen slope grows with the square, and the window length comes from system.ini.
    constexpr double kMaxRiseBins = 120.0;
    const double binWidth = std::max(5.0, (f.windowStop - f.windowStart) / kMaxRiseBins);
    const Blocks b = blockMedians(s, first, binWidth, scratch);
    if (b.centre.size() < 3)
        return f;
    f.evaluated = true;
    f.slope = theilSen(b.centre, b.median, scratch) * 60.0;
    f.median = medianOf(s.v, first, s.v.size(), scratch);
    f.slopePercent = f.median > 0 ? f.slope / f.median * 100.0 : 0.0;
    const double windowMinutes = (f.windowStop - f.windowStart) / 60.0;
    f.rising = f.slope > 0 && f.slopePercent >= t.riseSlopePercentPerMinute &&
               f.slope * windowMinutes >= t.spikeMinDelta;
    return f;
}

} // namespace

CurveSigns FindCurveSigns(const CMeasRecord& r, const AnalysisThresholds& t)
{
    CurveSigns out;
    const Series s = usedSeries(r);
    std::vector<double> scratch;

    for (const CTriggerEvent& e : r.Triggers) {
        CurveSign k;
        k.kind = SignKind::TriggerKick;
        k.start = e.start;
        k.stop = e.stop;
        k.value = e.maximum.toDouble();
        k.reference = r.TriggerLevel;
        k.text = lit("キック ") + timeText(e.start) + lit("～") + timeText(e.stop) + lit(" 最大 ") +
                 text::current(k.value) + lit(" μA (トリガ設定 ") + text::limit(r.TriggerLevel) +
                 lit(" μA 以上)");
        out.signs.push_back(std::move(k));
    }
    if (!s.t.empty())
        findSpikes(r, s, t, scratch, out.signs);
    std::stable_sort(out.signs.begin(), out.signs.end(),
                     [](const CurveSign& a, const CurveSign& b) { return a.start < b.start; });
    out.kickCount = static_cast<int>(out.signs.size());

    out.rise = fitRise(s, t, scratch);
    if (out.rise.rising) {
        out.gradualRise = true;
        CurveSign g;
        g.kind = SignKind::GradualRise;
        g.start = out.rise.windowStart;
        g.stop = out.rise.windowStop;
        g.value = s.v.back();
        g.reference = out.rise.slope;
        g.text = lit("漸増傾向 ") + timeText(g.start) + lit("～") + timeText(g.stop) +
                 formatC(" +%.3lf ", out.rise.slope) + lit("μA/分") +
                 formatC(" (+%.1lf %%/", out.rise.slopePercent) + lit("分)");
        out.signs.push_back(std::move(g));
    }

    // The combined rule uses the record's own criteria, so it follows the limits the user
    // set: with the defaults it reads "final value 1-10 μA and 成極比 ≦ 1.0".
    const CTestCondition& c = r.Condition;
    if (r.ShowSeikyoku != 0 && text::isValue(r.LastCurrent) && text::isValue(r.SeikyokuRatio) &&
        r.LastCurrent >= c.LastCurrentMin && r.LastCurrent <= c.LastCurrentMax &&
        r.SeikyokuRatio <= c.SeikyokuMax) {
        out.lowPolarization = true;
        CurveSign p;
        p.kind = SignKind::LowPolarization;
        p.start = p.stop = s.t.empty() ? 0.0 : s.t.back();
        p.value = r.LastCurrent;
        p.reference = r.SeikyokuRatio;
        p.text = lit("最終値 ") + text::current(r.LastCurrent) + lit(" μA (") +
                 text::limit(c.LastCurrentMin) + lit("～") + text::limit(c.LastCurrentMax) +
                 lit(" μA) かつ 成極比 ") + text::ratio(r.SeikyokuRatio) + lit(" ≦ ") +
                 text::limit(c.SeikyokuMax);
        out.signs.push_back(std::move(p));
    }
    return out;
}

const std::string& SignKindText(SignKind k)
{
    switch (k) {
    case SignKind::TriggerKick: return lit("キック");
    case SignKind::Spike: return lit("スパイク");
    case SignKind::GradualRise: return lit("漸増傾向");
    default: return lit("成極比低下");
    }
}

} // namespace analysis
