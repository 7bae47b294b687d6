// Final value, trigger events, ratios and judgments.
#include <gtest/gtest.h>

#include "model/cp932text.h"
#include "model/measdata.h"

namespace {

CMeasRecord recordWith(std::vector<std::pair<double, double>> points, double voltage = 1.0,
                       double trigger = 5.0)
{
    CMeasRecord r;
    r.TestVoltage = voltage;
    r.TriggerLevel = trigger;
    for (auto [t, v] : points)
        r.Points.push_back({CDataValue(v), t});
    return r;
}

TEST(MeasPoint, IsSmall)
{
    EXPECT_LE(sizeof(CMeasPoint), 32u);
}

TEST(RecalcFinalAndTriggers, EmptyRecord)
{
    CMeasRecord r;
    r.RecalcFinalAndTriggers(-1, 10);
    EXPECT_EQ(r.LastCurrent, 0.0);
    EXPECT_TRUE(r.Triggers.empty());
    EXPECT_EQ(r.UsedPoints, 0);
}

TEST(RecalcFinalAndTriggers, EventsSkipValidPeriodAndRunToLastUsedPoint)
{
    // High values up to 10 s are ignored; an event 12-14 s; one still open at the end.
    CMeasRecord r = recordWith({{2, 99}, {10, 99}, {12, 6}, {13, 8}, {14, 5}, {15, 1},
                                {16, 7}, {17, 9}});
    r.RecalcFinalAndTriggers(-1, 10);
    ASSERT_EQ(r.Triggers.size(), 2u);
    EXPECT_EQ(r.Triggers[0].start, 12);
    EXPECT_EQ(r.Triggers[0].stop, 14);
    EXPECT_EQ(r.Triggers[0].maximum.toDouble(), 8);
    EXPECT_EQ(r.Triggers[1].start, 16);
    EXPECT_EQ(r.Triggers[1].stop, 17);
    EXPECT_EQ(r.Triggers[1].maximum.toDouble(), 9);
    EXPECT_EQ(r.LastCurrent, 9);

    // Lowering the used points shortens both the final value and the trigger list.
    r.RecalcFinalAndTriggers(5, 10);
    EXPECT_EQ(r.UsedPoints, 5);
    EXPECT_EQ(r.LastCurrent, 5);
    ASSERT_EQ(r.Triggers.size(), 1u);
    EXPECT_EQ(r.Triggers[0].stop, 14);
}

TEST(RecalcRatios, PolarizationAndWeakPoint)
{
    CMeasData set;
    set.InsertRecord(recordWith({{30, 4}, {60, 3}, {120, 2}}, 2.0));
    set.InsertRecord(recordWith({{30, 4}, {60, 3}, {120, 0}}, 4.0)); // final value exactly 0
    set.InsertRecord(recordWith({{30, 4}, {59, 3}}, 1.0));            // never reaches 60 s
    for (auto& r : set.Records())
        r.RecalcFinalAndTriggers(-1, 10);
    RecalcRatios(set);
    const auto& rs = set.Records();
    EXPECT_EQ(rs[0].TestVoltage, 1.0);
    EXPECT_EQ(rs[0].SeikyokuRatio, UNSET_VALUE);
    EXPECT_EQ(rs[0].JyakutenRatio, UNSET_VALUE);
    EXPECT_DOUBLE_EQ(rs[1].SeikyokuRatio, 1.5);
    EXPECT_DOUBLE_EQ(rs[1].JyakutenRatio, (2.0 / 2.0) / (4.0 / 0.001));
    EXPECT_DOUBLE_EQ(rs[2].SeikyokuRatio, 3 / 0.001);
    EXPECT_EQ(rs[2].JyakutenRatio, UNSET_VALUE);
}

TEST(Judgment, Bands)
{
    struct Case {
        double v;
        Judgment high, low;
    } cases[] = {{0.5, Judgment::Bad, Judgment::Good},
                 {0.7, Judgment::Caution, Judgment::Good},
                 {1.0, Judgment::Good, Judgment::Good},
                 {5.0, Judgment::Good, Judgment::Caution},
                 {10.0, Judgment::Good, Judgment::Bad}};
    for (const auto& c : cases) {
        EXPECT_EQ(JudgeHighIsGood(c.v, 0.5, 1.0), c.high) << c.v;
        EXPECT_EQ(JudgeLowIsGood(c.v, 1.0, 10.0), c.low) << c.v;
    }
    // Inverted limits: the minimum side wins.
    EXPECT_EQ(JudgeHighIsGood(1.0, 2.0, 0.5), Judgment::Bad);
    EXPECT_EQ(JudgeLowIsGood(1.0, 2.0, 0.5), Judgment::Good);
    EXPECT_EQ(cp932::toUtf8(JudgmentWord(Judgment::Caution)), "注意");
}

} // namespace
