// Track sizing, the fitting search, axis divisions and labels, series building and page counts.
#include <gtest/gtest.h>

#include <cmath>

#include "model/measrecord.h"
#include "report/reportmath.h"

using namespace report;

namespace {

CMeasRecord recordWith(const std::vector<std::pair<double, double>>& points)
{
    CMeasRecord r;
    for (auto [t, v] : points)
        r.Points.push_back({CDataValue(v), t});
    r.UsedPoints = static_cast<int>(r.Points.size());
    return r;
}

std::vector<int> ends(const std::vector<Track>& t)
{
    std::vector<int> e;
    for (const Track& x : t)
        e.push_back(x.end);
    return e;
}

} // namespace

TEST(TrackSizing, DefaultWidthRatesEndAtTheirRunningPercent)
{
    auto t = makeTracks(6);
    const double rates[] = {8, 34, 6, 22, 8, 22};
    for (int i = 0; i < 6; ++i)
        setTrackPercent(t[i], rates[i]);
    sizeTracks(t, 2000);
    EXPECT_EQ(ends(t), (std::vector<int>{160, 840, 960, 1400, 1560, 2000}));
}

TEST(TrackSizing, FixedLengthsKeepTheirSizeAndTheRestGoesToUnfixed)
{
    auto t = makeTracks(5);
    for (int i = 0; i < 4; ++i)
        setTrackLength(t[i], std::vector{70, 10, 200, 10}[i]);
    for (int extent : {1000, 3000}) {
        sizeTracks(t, extent);
        EXPECT_EQ(ends(t), (std::vector<int>{70, 80, 280, 290, extent}));
    }
    // Unfixed tracks share what is left; a mix of percent and length.
    auto m = makeTracks(3);
    setTrackLength(m[0], 100);
    setTrackPercent(m[1], 50);
    sizeTracks(m, 1000);
    EXPECT_EQ(ends(m), (std::vector<int>{100, 600, 1000}));
    // Lengths beyond the extent: unfixed share is never negative, the last still ends at E.
    auto o = makeTracks(3);
    setTrackLength(o[0], 800);
    setTrackLength(o[1], 800);
    sizeTracks(o, 1000);
    EXPECT_EQ(ends(o), (std::vector<int>{800, 1600, 1000}));
    EXPECT_DOUBLE_EQ(o[2].percent, 0.0);
}

TEST(TrackSizing, NewTracksShareEvenly)
{
    auto t = makeTracks(3);
    sizeTracks(t, 900);
    EXPECT_EQ(ends(t), (std::vector<int>{300, 600, 900}));
}

TEST(FitHeight, FindsTheLargestFittingHeightThroughThePasses)
{
    for (int limit : {1, 2, 7, 37, 124, 125, 126, 999, 5000}) {
        int calls = 0;
        const int h = fitHeight([&](int x) {
            ++calls;
            return x <= limit;
        });
        EXPECT_EQ(h, limit) << limit;
        EXPECT_LT(calls, 200); // a search, not a count up from 1
    }
    EXPECT_EQ(fitHeight([](int) { return false; }), 1);
    EXPECT_LE(fitHeight([](int) { return true; }), 10000); // ends for texts that always fit
}

TEST(TimeAxis, DivisionsLabelsAndLines)
{
    struct Case {
        double w;
        int n, L, M;
    };
    for (Case c : {Case{0.5, 10, 2, 2}, Case{1, 8, 4, 4}, Case{2, 8, 2, 4}, Case{3, 12, 4, 4},
                   Case{9.5, 38, 4, 4}, Case{10, 20, 2, 2}, Case{16, 32, 2, 2}}) {
        const TimeDivisions d = timeDivisions(c.w);
        EXPECT_EQ(d.n, c.n) << c.w;
        EXPECT_EQ(d.L, c.L) << c.w;
        EXPECT_EQ(d.M, c.M) << c.w;
    }
    EXPECT_EQ(timeDivisions(0.1).n, 1);     // never zero divisions
    EXPECT_EQ(timeDivisions(1e12).n, 2000); // a mistyped width stays drawable
    const TimeDivisions three = timeDivisions(3);
    EXPECT_EQ(timeGridLine(three, 4), GridLine::Solid);
    EXPECT_EQ(timeGridLine(three, 8), GridLine::Solid);
    EXPECT_EQ(timeGridLine(three, 2), GridLine::Dashed);
    EXPECT_EQ(timeGridLine(three, 10), GridLine::Dashed);
    EXPECT_EQ(timeGridLine(three, 5), GridLine::Dotted);

    auto texts = [](const std::vector<AxisLabel>& ls) {
        std::vector<std::string> out;
        for (const auto& l : ls)
            out.push_back(std::to_string(l.division) + "=" + l.text);
        return out;
    };
    EXPECT_EQ(texts(timeLabels(0, 0.5)),
              (std::vector<std::string>{"0=0.0", "2=0.1", "4=0.2", "6=0.3", "8=0.4", "10=0.5"}));
    EXPECT_EQ(texts(timeLabels(0, 3)),
              (std::vector<std::string>{"0=0.0", "4=1.0", "8=2.0", "12=3.0"}));
    const auto sixteen = timeLabels(2, 18);
    ASSERT_EQ(sixteen.size(), 17u);
    EXPECT_EQ(sixteen[1].text, "3.0");
    EXPECT_EQ(sixteen.back().text, "18.0");
}

TEST(CurrentAxis, LabelsFromTopToBottom)
{
    const auto five = currentLabels(0, 5);
    ASSERT_EQ(five.size(), 11u);
    EXPECT_EQ(five.front().text, "5.0");
    EXPECT_EQ(five[1].text, "4.5");
    EXPECT_EQ(five.back().text, "0.0");
    const auto big = currentLabels(0, 1000);
    EXPECT_EQ(big.front().text, "1000");
    EXPECT_EQ(big[1].text, "900");
    EXPECT_EQ(big.back().text, "0");
    EXPECT_EQ(currentLabels(0, 10)[1].text, "9.0");
}

TEST(Series, ZeroTimePointsCollapseAndEarlyPointsAreSkipped)
{
    const CMeasRecord r =
        recordWith({{0, 1.0}, {0, 2.0}, {0, 3.0}, {0.2, 4.0}, {60, 5.0}, {900, 6.0}});
    const auto s = buildSeries(r, 0, 10);
    ASSERT_EQ(s.size(), 4u);
    EXPECT_DOUBLE_EQ(s[0].value, 3.0);
    EXPECT_DOUBLE_EQ(s[0].x, 0.0);
    EXPECT_DOUBLE_EQ(s[2].x, 1.0);
    EXPECT_DOUBLE_EQ(s[3].x, 15.0); // beyond the window: kept for clipping

    const auto later = buildSeries(r, 1.0, 2.0);
    ASSERT_EQ(later.size(), 2u);
    EXPECT_DOUBLE_EQ(later[0].x, 0.0);
    EXPECT_TRUE(buildSeries(r, 20, 30).empty());

    CMeasRecord partly = r;
    partly.UsedPoints = 2; // only used points, and never past the stored ones
    EXPECT_EQ(buildSeries(partly, 0, 10).size(), 1u);
    partly.UsedPoints = 99;
    EXPECT_EQ(buildSeries(partly, 0, 10).size(), 4u);
}

TEST(Series, VerticesOnOneColumnKeepTheHighestCurrent)
{
    // y grows downwards on the device, so the highest current is the smallest y.
    const auto v = mergeVertices({{10, 50}, {10, 20}, {10, 40}, {11, 30}, {12, 35}, {12, 36}});
    ASSERT_EQ(v.size(), 3u);
    EXPECT_DOUBLE_EQ(v[0].y, 20);
    EXPECT_DOUBLE_EQ(v[1].y, 30);
    EXPECT_DOUBLE_EQ(v[2].y, 35);
}

TEST(PageCounts, GraphAndTablePages)
{
    auto points = [](int n, double last) {
        std::vector<std::pair<double, double>> p;
        for (int i = 0; i < n; ++i)
            p.push_back({n > 1 ? last * i / (n - 1) : last, 1.0});
        return recordWith(p);
    };
    struct Case {
        int used;
        double lastSec, w;
        int graph, table, total;
    };
    for (Case c : {Case{700, 600, 1, 4, 2, 6}, Case{100, 180, 1, 2, 1, 3},
                   Case{552, 60, 1, 1, 1, 2}, Case{553, 60, 1, 1, 2, 3}, Case{0, 0, 1, 1, 1, 2}}) {
        const PageCounts pc = pageCounts(points(c.used, c.lastSec), c.w);
        EXPECT_EQ(pc.graphPages, c.graph) << c.used;
        EXPECT_EQ(pc.tablePages, c.table) << c.used;
        EXPECT_EQ(pc.total, c.total) << c.used;
    }
}

TEST(PageCounts, InvalidTimesAndValuesNeitherDrawNorAddPages)
{
    // A record of ten minutes with one crafted point: graph pages come from its valid points
    // alone (width 1: 600 / 180 + 1 = 4); the table still lists the crafted point.
    struct Case {
        const char* what;
        double t, v;
    } cases[] = {
        {"time 1e12 s", 1e12, 1.0},    {"+Inf time", INFINITY, 1.0}, {"-Inf time", -INFINITY, 1.0},
        {"NaN time", NAN, 1.0},        {"time -1e12 s", -1e12, 1.0}, {"NaN value", 900, NAN},
        {"+Inf value", 900, INFINITY},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CMeasRecord r = recordWith({{0.2, 1.0}, {300, 2.0}, {c.t, c.v}, {600, 3.0}});
        const PageCounts pc = pageCounts(r, 1.0);
        EXPECT_EQ(pc.graphPages, 4);
        EXPECT_EQ(pc.total, 5);
        const auto s = buildSeries(r, 0, 10);
        ASSERT_EQ(s.size(), 3u);
        EXPECT_DOUBLE_EQ(s[2].x, 10.0);
    }

    // Only crafted points, or only negative times: still one graph page and a table page.
    EXPECT_EQ(pageCounts(recordWith({{1e12, 1.0}, {NAN, 2.0}}), 1.0).total, 2);
    EXPECT_EQ(pageCounts(recordWith({{-5000, 1.0}}), 0.5).graphPages, 1);
    // The longest valid time at a width narrower than any offered stays within the cap.
    const PageCounts longest = pageCounts(recordWith({{kMaxElapsedSeconds, 1.0}}), 1e-9);
    EXPECT_EQ(longest.graphPages, kMaxGraphPages);
    EXPECT_EQ(pageCounts(recordWith({{kMaxElapsedSeconds, 1.0}}), 0.5).graphPages, kMaxGraphPages);
}
