// Step test: the line through the lower steps and the knee.
#include <gtest/gtest.h>

#include "analysis/steptest.h"
#include "analysistesthelp.h"

using namespace analysis;
using analysistest::step;
using analysistest::u8;

namespace {

CMeasData setOf(std::initializer_list<std::pair<double, double>> steps, int32_t kind = CabKindR)
{
    CMeasData set;
    for (auto [kV, uA] : steps)
        set.InsertRecord(step(kV, uA, kind));
    return set;
}

struct KneeCase {
    const char* name;
    std::initializer_list<std::pair<double, double>> steps;
    int kneeIndex;
    const char* text;
};

TEST(StepTest, KneeTable)
{
    const KneeCase cases[] = {
        // I = 0.5 V throughout.
        {"linear", {{2, 1}, {4, 2}, {6, 3}, {8, 4}}, -1, "屈曲点なし"},
        // Line 0.5 μA/kV through 2-6 kV predicts 4 μA at 8 kV; 10 μA is 2.5 times that.
        {"knee", {{2, 1}, {4, 2}, {6, 3}, {8, 10}}, 3, "8.00 kV で直線から 2.5 倍に増加 (屈曲点)"},
        // Exactly the factor is not yet a knee: 6 μA = 1.5 × 4 μA.
        {"at factor", {{2, 1}, {4, 2}, {6, 3}, {8, 6}}, -1, "屈曲点なし"},
        // The first departing step counts, later ones are not compared with a bent line.
        {"early knee", {{2, 1}, {4, 4}, {6, 6}}, 1, "4.00 kV で直線から 2.0 倍に増加 (屈曲点)"},
        {"single step", {{2, 1}}, -1, "段階が1つのみ"},
        {"zero currents", {{2, 0}, {4, 0}, {6, 0}}, -1, "屈曲点なし"},
        // Nothing below, a current above: the zero prediction divides by 0.001.
        {"from zero", {{2, 0}, {4, 0.5}}, 1, "4.00 kV で直線から 500.0 倍に増加 (屈曲点)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto curves = AnalyzeSteps(setOf(c.steps), AnalysisThresholds{});
        ASSERT_EQ(curves.size(), 1u);
        EXPECT_EQ(curves[0].kneeIndex, c.kneeIndex);
        EXPECT_EQ(u8(curves[0].text), c.text);
        for (std::size_t k = 0; k < curves[0].steps.size(); ++k)
            EXPECT_EQ(curves[0].steps[k].knee, static_cast<int>(k) == c.kneeIndex);
    }
}

TEST(StepTest, LineValuesAndSlopeBelowTheKnee)
{
    const auto curves =
        AnalyzeSteps(setOf({{2, 1}, {4, 2}, {6, 3}, {8, 10}}), AnalysisThresholds{});
    const StepCurve& c = curves.at(0);
    EXPECT_EQ(c.phase, Phase::R);
    EXPECT_DOUBLE_EQ(c.slope, 0.5);
    EXPECT_EQ(c.steps[0].predicted, UNSET_VALUE);
    EXPECT_EQ(c.steps[0].departure, UNSET_VALUE);
    EXPECT_DOUBLE_EQ(c.steps[1].predicted, 2.0);
    EXPECT_DOUBLE_EQ(c.steps[3].predicted, 4.0);
    EXPECT_DOUBLE_EQ(c.steps[3].departure, 2.5);
    EXPECT_EQ(c.steps[3].index, 3u);
}

// The chart draws slope × V; the table lists lineValue and lineRatio: one line for both. At
// the knee it is the line the knee was found with.
TEST(StepTest, OneLineForChartAndTable)
{
    struct Case {
        const char* name;
        std::initializer_list<std::pair<double, double>> steps;
    };
    const Case cases[] = {
        // No knee: the line runs through all steps, not only the lower ones (the 8 kV
        // prediction from 2-6 kV alone would be 2.784 μA; the line through all gives more).
        {"bent upwards", {{2, 0.6}, {4, 1.3}, {6, 2.1}, {8, 3.3}}},
        {"knee", {{2, 1}, {4, 2}, {6, 3}, {8, 10}}},
        {"early knee", {{2, 1}, {4, 4}, {6, 6}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const StepCurve curve = AnalyzeSteps(setOf(c.steps), AnalysisThresholds{}).at(0);
        for (std::size_t k = 0; k < curve.steps.size(); ++k) {
            const StepPoint& p = curve.steps[k];
            EXPECT_DOUBLE_EQ(p.lineValue, curve.slope * p.testVoltage) << k;
            EXPECT_DOUBLE_EQ(p.lineRatio, p.finalValue / p.lineValue) << k;
            if (static_cast<int>(k) == curve.kneeIndex) {
                EXPECT_DOUBLE_EQ(p.lineValue, p.predicted);
            }
        }
    }
    const StepCurve single = AnalyzeSteps(setOf({{2, 1}}), AnalysisThresholds{}).at(0);
    EXPECT_EQ(single.steps[0].lineValue, UNSET_VALUE);
}

TEST(StepTest, PhasesApartRecordsWithoutPointsLeftOut)
{
    CMeasData set = setOf({{2, 1}, {4, 2}});
    set.InsertRecord(step(2, 3, CabKindS));
    CMeasRecord empty;
    empty.TestVoltage = 6.0;
    empty.Condition.CabKind = CabKindR;
    set.InsertRecord(empty);
    const auto curves = AnalyzeSteps(set, AnalysisThresholds{});
    ASSERT_EQ(curves.size(), 2u);
    EXPECT_EQ(curves[0].phase, Phase::R);
    EXPECT_EQ(curves[0].steps.size(), 2u);
    EXPECT_EQ(curves[1].phase, Phase::S);
    EXPECT_EQ(u8(curves[1].text), "段階が1つのみ");
    EXPECT_TRUE(AnalyzeSteps(CMeasData{}, AnalysisThresholds{}).empty());
}

TEST(StepTest, KneeFactorComesFromTheThresholds)
{
    AnalysisThresholds t;
    t.kneeFactor = 1.2;
    const auto curves = AnalyzeSteps(setOf({{2, 1}, {4, 2}, {6, 3}, {8, 5}}), t);
    EXPECT_EQ(curves.at(0).kneeIndex, 3); // 5 / 4 = 1.25 > 1.2
}

} // namespace
