// Curve signs of one measurement: trigger kicks, spikes above the local median, a gradual rise
// at the end, and the combined rule on final value and polarization ratio.
#include "analysis/curvesigns.h"

#include <algorithm>
#include <cmath>
#include <limits>

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

// The smallest rise above the local median that can be a spike: the configured minimum, and
// more than one count of the record's range, so that the quantization of a near-zero current
// (0.0 and 0.1 μA alternating) is not taken for one.
double spikeMinDelta(const CMeasRecord& r, const AnalysisThresholds& t)
{
    const double count = r.RangeFlag == 1 ? 0.1 : 0.001;
    return std::max(t.spikeMinDelta, 1.5 * count);
}

void findSpikes(const CMeasRecord& r, const Series& s, const AnalysisThresholds& t,
                std::vector<double>& scratch, std::vector<CurveSign>& out)
{
    std::size_t from = 0;
    while (from < s.t.size() && s.t[from] <= t.triggValidSec)
        ++from;
    if (from >= s.t.size() || !(t.spikeWindowSeconds > 0))
        return;
    const double half = t.spikeWindowSeconds / 2.0;
    const double minDelta = spikeMinDelta(r, t);
    // The reference of a point is the higher of the medians of the half windows before and
    // after it (the point itself left out). On a decaying curve the earlier half lies above
    // the point, on a rising curve the later half does, so a smooth monotone curve never
    // stands out; a short kick stands above both sides. The points of the charging time serve
    // as the earlier half of the first points looked at. A point with nothing before it is
    // not judged: a kick cannot be told from the start of a decay there.
    // A median is never below the minimum of any range that holds its window, so a point that
    // does not stand out from such minimums cannot stand out from the medians. The minimums of
    // fixed blocks half a window long cover each half window with two blocks; they spare the
    // medians on nearly every point.
    const double origin = s.t.front();
    const auto blockOf = [&](double x) {
        return static_cast<std::size_t>(std::max(0.0, std::floor((x - origin) / half)));
    };
    std::vector<double> blockMin(blockOf(s.t.back()) + 2, std::numeric_limits<double>::max());
    for (std::size_t j = 0; j < s.t.size(); ++j) {
        double& m = blockMin[blockOf(s.t[j])];
        m = std::min(m, s.v[j]);
    }
    const auto standsOut = [&](double v, double ref) {
        return v > t.spikeFactor * ref && v - ref >= minDelta;
    };
    std::size_t lo = 0, hi = 0;
    bool in = false;
    CurveSign sign;
    std::vector<CurveSign> found;
    for (std::size_t i = from; i <= s.t.size(); ++i) {
        bool spike = false;
        double ref = 0.0;
        if (i < s.t.size()) {
            while (lo < i && s.t[lo] < s.t[i] - half)
                ++lo;
            hi = std::max(hi, i + 1);
            while (hi < s.t.size() && s.t[hi] <= s.t[i] + half)
                ++hi;
            if (lo < i) {
                const std::size_t b = blockOf(s.t[i]);
                double bound = std::min(blockMin[b], b > 0 ? blockMin[b - 1] : blockMin[b]);
                if (hi > i + 1)
                    bound = std::max(bound, std::min(blockMin[b], blockMin[b + 1]));
                if (standsOut(s.v[i], bound)) {
                    ref = medianOf(s.v, lo, i, scratch);
                    if (hi > i + 1)
                        ref = std::max(ref, medianOf(s.v, i + 1, hi, scratch));
                    spike = standsOut(s.v[i], ref);
                }
            }
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
            // A kick whose points dip for a moment (a count of quantization, one sample) is
            // one kick: parts less than a second apart are joined.
            if (!found.empty() && sign.start - found.back().stop <= 1.0) {
                CurveSign& prev = found.back();
                prev.stop = sign.stop;
                if (sign.value > prev.value) {
                    prev.value = sign.value;
                    prev.reference = sign.reference;
                }
            } else {
                found.push_back(sign);
            }
        }
    }
    for (CurveSign& k : found) {
        if (overlapsTrigger(r, k.start, k.stop))
            continue; // already reported as a trigger kick
        const std::string factor =
            k.reference > 0 ? lit(" の ") + formatC("%.1lf", k.value / k.reference) + lit(" 倍")
                            : std::string();
        k.text = lit("スパイク ") + timeText(k.start) + lit(" 最大 ") + text::current(k.value) +
                 lit(" μA (局所中央値 ") + text::current(k.reference) + lit(" μA") + factor + ")";
        out.push_back(std::move(k));
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

    // The combined rule uses the record's own criteria and the record's own comparisons, so
    // that a sign never contradicts a judgment of the same number: the final value is judged
    // 注意 (between its limits, both excluded) and the 成極比 is not judged 良 (below its
    // upper limit). With the default limits it reads "final value above 1 and below 10 μA and
    // 成極比 below 1.0"; a 成極比 of exactly 1.0 is 良 and no sign.
    const CTestCondition& c = r.Condition;
    if (r.ShowSeikyoku != 0 && text::isValue(r.LastCurrent) && text::isValue(r.SeikyokuRatio) &&
        r.JudgeLastCurrent() == Judgment::Caution && r.JudgeSeikyoku() != Judgment::Good) {
        out.lowPolarization = true;
        CurveSign p;
        p.kind = SignKind::LowPolarization;
        p.start = p.stop = s.t.empty() ? 0.0 : s.t.back();
        p.value = r.LastCurrent;
        p.reference = r.SeikyokuRatio;
        p.text = lit("最終値 ") + text::current(r.LastCurrent) + lit(" μA (") +
                 text::limit(c.LastCurrentMin) + lit("～") + text::limit(c.LastCurrentMax) +
                 lit(" μA) かつ 成極比 ") + text::ratio(r.SeikyokuRatio) + lit(" < ") +
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
