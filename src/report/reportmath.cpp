// Pure computations of the report layout and graph.
#include "report/reportmath.h"

#include <algorithm>
#include <cmath>

#include "model/measrecord.h"
#include "model/number.h"

namespace report {

std::vector<Track> makeTracks(int n)
{
    std::vector<Track> tracks(std::max(n, 0));
    double sum = 0.0;
    for (int i = 0; i < n; ++i) {
        tracks[i].percent = i + 1 < n ? 100.0 / n : 100.0 - sum;
        sum += tracks[i].percent;
    }
    return tracks;
}

void setTrackLength(Track& t, int length)
{
    t.fixed = true;
    t.relative = false;
    t.length = length;
}

void setTrackPercent(Track& t, double percent)
{
    t.fixed = true;
    t.relative = true;
    t.percent = percent;
}

void sizeTracks(std::vector<Track>& tracks, int extent)
{
    if (tracks.empty())
        return;
    double fixedSum = 0.0;
    int unfixed = 0;
    for (Track& t : tracks) {
        if (t.fixed && !t.relative)
            t.percent = extent != 0 ? t.length * 100.0 / extent : 0.0;
        if (t.fixed)
            fixedSum += t.percent;
        else
            ++unfixed;
    }
    if (unfixed > 0) {
        const double share = std::max(0.0, (100.0 - fixedSum) / unfixed);
        for (Track& t : tracks) {
            if (!t.fixed)
                t.percent = share;
        }
    }
    double running = 0.0;
    int previousEnd = 0;
    for (Track& t : tracks) {
        running += t.percent;
        t.cumulativePercent = running;
        if (t.fixed && !t.relative)
            t.end = previousEnd + t.length;
        else
            t.end = static_cast<int>(std::lround(extent * running / 100.0));
        previousEnd = t.end;
    }
    tracks.back().end = extent;
}

int fitHeight(const std::function<bool(int)>& fits)
{
    // Heights beyond a metre of text are never wanted; the cap also ends the search for a
    // text that fits at any height (an empty one).
    constexpr int kMaxHeight = 10000;
    const std::function<int(int)> steps[] = {
        [](int h) { return h * 5; }, [](int h) { return h * 3; },
        [](int h) { return h * 2; }, [](int h) { return static_cast<int>(h * 1.5); },
        [](int h) { return h + 5; }, [](int h) { return h + 2; },
        [](int h) { return h + 1; },
    };
    int h = 1;
    for (const auto& step : steps) {
        for (;;) {
            const int next = step(h);
            if (next <= h || next > kMaxHeight || !fits(next))
                break;
            h = next;
        }
    }
    return h;
}

TimeDivisions timeDivisions(double w)
{
    if (w == 0.5)
        return {10, 2, 2};
    if (w == 1.0)
        return {8, 4, 4};
    if (w == 2.0)
        return {8, 2, 4};
    // No window the program offers comes near the cap; it keeps a mistyped width (a script's
    // --width) from asking for millions of gridlines.
    constexpr double kMaxDivisions = 2000;
    if (w < 10.0)
        return {std::max(1, static_cast<int>(w * 4)), 4, 4};
    return {static_cast<int>(std::min(w * 2, kMaxDivisions)), 2, 2};
}

GridLine timeGridLine(const TimeDivisions& d, int k)
{
    if (k % d.M == 0)
        return GridLine::Solid;
    return k % 2 == 0 ? GridLine::Dashed : GridLine::Dotted;
}

std::vector<AxisLabel> timeLabels(double xMin, double xMax)
{
    const TimeDivisions d = timeDivisions(xMax - xMin);
    const double step = (xMax - xMin) / (static_cast<double>(d.n) / d.L);
    std::vector<AxisLabel> labels;
    double value = xMin;
    for (int k = 0; k <= d.n; ++k) {
        if (k != 0 && k % d.L != 0)
            continue;
        if (k == d.n)
            value = xMax;
        labels.push_back({k, formatC("%.1f", value)});
        value += step;
    }
    return labels;
}

std::vector<AxisLabel> currentLabels(double yMin, double yMax)
{
    const double range = yMax - yMin;
    const char* format = range <= 10.0 ? "%.1f" : "%.0f";
    std::vector<AxisLabel> labels;
    for (int k = 10; k >= 0; --k)
        labels.push_back({k, formatC(format, yMin + range * k / 10.0)});
    return labels;
}

std::vector<GraphPoint> buildSeries(const CMeasRecord& r, double a, double /*b*/)
{
    std::vector<GraphPoint> series;
    const int used = std::clamp<int>(r.UsedPoints, 0, static_cast<int>(r.Points.size()));
    series.reserve(used);
    for (int i = 0; i < used; ++i) {
        if (!IsValidPoint(r.Points[i]))
            continue; // a time or value only a damaged file holds: no place on the curve
        const double minutes = r.Points[i].elapsed / 60.0;
        if (minutes < a)
            continue;
        const double value = r.Points[i].value.toDouble();
        if (minutes == 0.0 && series.size() == 1) {
            series[0] = {value, minutes - a};
            continue;
        }
        series.push_back({value, minutes - a});
    }
    return series;
}

std::vector<Vertex> mergeVertices(const std::vector<Vertex>& points)
{
    std::vector<Vertex> out;
    out.reserve(std::min<std::size_t>(points.size(), 4096));
    for (const Vertex& p : points) {
        if (!out.empty() && out.back().x == p.x)
            out.back().y = std::min(out.back().y, p.y);
        else
            out.push_back(p);
    }
    return out;
}

PageCounts pageCounts(const CMeasRecord& r, double w)
{
    double maxValue = 0.0;
    double maxSeconds = 0.0;
    r.PeakValues(true, maxValue, maxSeconds);
    PageCounts c;
    // Only valid points count, so the highest time is at most kMaxElapsedSeconds; the cap below
    // also holds for a width narrower than any the program offers.
    const double perPage = w * 180.0;
    const double pages = perPage > 0 ? std::floor(maxSeconds / perPage) + 1.0 : 1.0;
    c.graphPages = static_cast<int>(std::clamp(pages, 1.0, static_cast<double>(kMaxGraphPages)));
    const int used = std::clamp<int>(r.UsedPoints, 0, static_cast<int>(r.Points.size()));
    c.tablePages = used > 0 ? (used - 1) / kPointsPerTablePage + 1 : 1;
    c.total = c.graphPages + c.tablePages;
    return c;
}

} // namespace report
