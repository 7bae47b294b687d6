// Cable history: sets in time order, per-step values, judgments, signs; nothing changed.
#include <gtest/gtest.h>

#include <algorithm>

#include <cmath>
#include <limits>

#include "analysis/history.h"
#include "analysistesthelp.h"

using namespace analysis;
using analysistest::addSet;
using analysistest::step;
using analysistest::u8;

namespace {

TEST(History, SetsInTimeOrderWithTheirSteps)
{
    CCable cable;
    cable.name = "K1";
    // Names sort differently from the dates; one set has no date at all.
    CMeasData& late = addSet(cable, "A 2025");
    late.InsertRecord(step(2.0, 0.5, CabKindR, "2025/06/01 10:00:00"));
    late.InsertRecord(step(4.0, 12.0, CabKindR, "2025/06/01 10:20:00"));
    RecalcRatios(late);
    late.RecordAt(0).Condition.ShisuZetuen = 150.0;
    CMeasData& early = addSet(cable, "B 2023");
    early.InsertRecord(step(2.0, 5.0, CabKindR, "2023/05/01 09:00:00"));
    addSet(cable, "C").InsertRecord(step(2.0, 1.0, CabKindR, nullptr));
    addSet(cable, "D empty");
    const CCable before = cable;

    const CableHistory h = BuildCableHistory("X", cable, AnalysisThresholds{});
    EXPECT_EQ(cable, before); // the analysis changes nothing
    EXPECT_EQ(h.customerName, "X");
    EXPECT_EQ(h.cableName, "K1");
    ASSERT_EQ(h.sets.size(), 4u);
    EXPECT_EQ(u8(h.sets[0].name), "B 2023");
    EXPECT_EQ(u8(h.sets[0].dateText), "2023/05/01");
    EXPECT_EQ(u8(h.sets[1].name), "A 2025");
    EXPECT_EQ(u8(h.sets[2].name), "C"); // undated sets follow, by name
    EXPECT_EQ(u8(h.sets[3].name), "D empty");
    EXPECT_TRUE(h.sets[3].steps.empty());
    EXPECT_EQ(h.sets[3].insulation, UNSET_VALUE);

    const SetSummary& a = h.sets[1];
    EXPECT_EQ(a.insulation, 150.0);
    ASSERT_EQ(a.steps.size(), 2u);
    EXPECT_DOUBLE_EQ(a.steps[1].testVoltage, 4.0);
    EXPECT_DOUBLE_EQ(a.steps[1].finalValue, 12.0);
    EXPECT_EQ(a.steps[1].phase, Phase::R);
    EXPECT_EQ(u8(a.steps[1].judgments[0].text), "最終値 12.000 μA ≧ 上限 10.0 μA → 不良");
    // 0.5 μA good; 12 μA bad; 成極比 of both = 1.0 (one point) good; 弱点比 of the first:
    // (2 / 0.5) / (4 / 12) = 12, bad.
    EXPECT_EQ(a.badCount, 2);
    EXPECT_EQ(a.cautionCount, 0);
    ASSERT_EQ(a.stepCurves.size(), 1u);
    EXPECT_EQ(a.stepCurves[0].kneeIndex, 1);
    ASSERT_EQ(a.phases.size(), 2u);
    EXPECT_EQ(a.phases[0].leakage.status, UnbalanceStatus::MissingPhase);
}

TEST(History, SummarizeSetMatchesTheHistoryEntry)
{
    CCable cable;
    CMeasData& set = addSet(cable, "S");
    // 5.2 μA at one minute, 6 μA from five minutes on (flat over the rise window).
    set.InsertRecord(
        analysistest::sampled(600, [](double t) { return 5.0 + std::min(t, 300.0) / 300.0; }));
    set.RecordAt(0).StartTime = *OleDateTime::parse("2024/01/02 03:04:05");
    RecalcRatios(set);
    const SetSummary s = SummarizeSet(cable, cable.sets.At(0), AnalysisThresholds{});
    EXPECT_EQ(u8(s.dateText), "2024/01/02");
    ASSERT_EQ(s.steps.size(), 1u);
    // Final value 6 μA (注意), 成極比 0.87 (注意): the combined rule is a sign.
    EXPECT_TRUE(s.steps[0].signs.lowPolarization);
    EXPECT_EQ(s.signCount, 1);
    EXPECT_EQ(s.cautionCount, 2);
}

} // namespace

namespace {

// A record as only a damaged or crafted file holds it: more used points than points, values
// and times that are not finite, a voltage that is not a number.
TEST(History, DamagedRecordsAreLookedAtSafely)
{
    CCable cable;
    CMeasData& set = addSet(cable, "X");
    CMeasRecord r = analysistest::sampled(200, [](double) { return 2.0; });
    r.Points[500].value = CDataValue(std::nan(""));
    r.Points[600].elapsed = std::numeric_limits<double>::infinity();
    r.UsedPoints = 1000000;
    r.TestVoltage = std::nan("");
    r.Condition.CabKind = CabKindR;
    set.AppendRecord(r);
    set.AppendRecord(step(2.0, 1.0, CabKindR));
    const CableHistory h = BuildCableHistory("", cable, AnalysisThresholds{});
    ASSERT_EQ(h.sets.size(), 1u);
    EXPECT_EQ(h.sets[0].steps.size(), 2u);
    EXPECT_EQ(h.sets[0].steps[0].signs.kickCount, 0);
    ASSERT_EQ(h.sets[0].stepCurves.size(), 1u);
    EXPECT_EQ(h.sets[0].stepCurves[0].steps.size(), 1u); // the NaN voltage takes no part
    ASSERT_EQ(h.sets[0].phases.size(), 1u);
    EXPECT_EQ(h.sets[0].phases[0].record[0]->index, 1u);
}

} // namespace
