// Curve signs: trigger kicks, spikes above the local median, gradual rise, combined rule.
#include <gtest/gtest.h>

#include <cmath>

#include "analysis/curvesigns.h"
#include "analysistesthelp.h"
#include "link/emulator.h"

using namespace analysis;
using analysistest::sampled;
using analysistest::u8;

namespace {

// Spikes at [from, from + width) seconds added to a base curve.
std::function<double(double)> withSpike(std::function<double(double)> base, double from,
                                        double width, double height)
{
    return [=](double t) { return t >= from && t < from + width - 1e-9 ? height : base(t); };
}

std::vector<SignKind> kinds(const CurveSigns& s)
{
    std::vector<SignKind> out;
    for (const auto& sign : s.signs)
        out.push_back(sign.kind);
    return out;
}

TEST(CurveSigns, RecordWithoutPointsHasNone)
{
    const CurveSigns s = FindCurveSigns(CMeasRecord{}, AnalysisThresholds{});
    EXPECT_FALSE(s.any());
    EXPECT_FALSE(s.rise.evaluated);
    EXPECT_EQ(s.kickCount, 0);
}

TEST(CurveSigns, SpikeBelowTheTriggerSetting)
{
    // 1 μA flat, 0.6 s at 5 μA from 100 s; trigger setting far above.
    const CMeasRecord r = sampled(300, withSpike([](double) { return 1.0; }, 100.0, 0.6, 5.0));
    const CurveSigns s = FindCurveSigns(r, AnalysisThresholds{});
    ASSERT_EQ(kinds(s), std::vector<SignKind>{SignKind::Spike});
    const CurveSign& k = s.signs[0];
    EXPECT_NEAR(k.start, 100.0, 1e-9);
    EXPECT_NEAR(k.stop, 100.4, 1e-9);
    EXPECT_DOUBLE_EQ(k.value, 5.0);
    EXPECT_DOUBLE_EQ(k.reference, 1.0);
    EXPECT_EQ(u8(k.text), "スパイク 01:40.0 最大 5.000 μA (局所中央値 1.000 μA の 5.0 倍)");
    EXPECT_EQ(s.kickCount, 1);
}

TEST(CurveSigns, TriggerEventIsOneKickNotAlsoASpike)
{
    const CMeasRecord r = sampled(300, withSpike([](double) { return 1.0; }, 100.0, 0.6, 8.0), 5.0);
    ASSERT_EQ(r.Triggers.size(), 1u);
    const CurveSigns s = FindCurveSigns(r, AnalysisThresholds{});
    ASSERT_EQ(kinds(s), std::vector<SignKind>{SignKind::TriggerKick});
    EXPECT_EQ(u8(s.signs[0].text),
              "キック 01:40.0～01:40.4 最大 8.000 μA (トリガ設定 5.0 μA 以上)");
}

TEST(CurveSigns, NoSpikesWhereNoneBelong)
{
    struct Case {
        const char* name;
        std::function<double(double)> f;
    };
    const Case cases[] = {
        // The absorption current decays fast at first: the local median follows it.
        {"decay", [](double t) { return 1.0 + 50.0 * std::exp(-t / 8.0); }},
        // A high start inside the charging time is not looked at.
        {"charging", withSpike([](double) { return 1.0; }, 5.0, 0.6, 50.0)},
        // Ten times the median, but only 0.009 μA above it: noise of a near-zero current.
        {"tiny", withSpike([](double) { return 0.001; }, 100.0, 0.6, 0.01)},
        // A step up that stays is no short spike once the median has followed it.
        {"plateau", [](double t) { return t < 100 ? 1.0 : 3.0; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CurveSigns s = FindCurveSigns(sampled(300, c.f), AnalysisThresholds{});
        for (const auto& sign : s.signs)
            EXPECT_NE(sign.kind, SignKind::Spike) << u8(sign.text);
    }
}

TEST(CurveSigns, GradualRiseOverTheLastMinutes)
{
    // Decays onto 1 μA, then rises by 0.02 μA a minute: over the window 5:00-10:00 the
    // median is 1.15 μA, so the slope is 1.7 % of it a minute.
    const CMeasRecord r =
        sampled(600, [](double t) { return 1.0 + 0.02 * t / 60.0 + 20.0 * std::exp(-t / 8.0); });
    const CurveSigns s = FindCurveSigns(r, AnalysisThresholds{});
    ASSERT_TRUE(s.rise.evaluated);
    EXPECT_DOUBLE_EQ(s.rise.windowStart, 300.0);
    EXPECT_DOUBLE_EQ(s.rise.windowStop, 600.0);
    EXPECT_NEAR(s.rise.slope, 0.02, 1e-6);
    EXPECT_NEAR(s.rise.median, 1.15, 1e-3);
    EXPECT_TRUE(s.gradualRise);
    ASSERT_EQ(kinds(s), std::vector<SignKind>{SignKind::GradualRise});
    EXPECT_EQ(u8(s.signs[0].text), "漸増傾向 05:00.0～10:00.0 +0.020 μA/分 (+1.7 %/分)");
}

TEST(CurveSigns, RiseFitIgnoresKicksAndShortMeasurements)
{
    AnalysisThresholds t;
    // Flat with a large kick near the end: a least-squares line would tilt upwards.
    const CMeasRecord kicked =
        sampled(600, withSpike([](double) { return 1.0; }, 590.0, 4.0, 30.0));
    const CurveSigns s = FindCurveSigns(kicked, t);
    EXPECT_TRUE(s.rise.evaluated);
    EXPECT_NEAR(s.rise.slope, 0.0, 1e-9);
    EXPECT_FALSE(s.gradualRise);

    // 90 s: the window after the first minute is only 30 s long.
    EXPECT_FALSE(FindCurveSigns(sampled(90, [](double t) { return t; }), t).rise.evaluated);

    // A rise below the percentage limit is no sign.
    t.riseSlopePercentPerMinute = 2.0;
    const CMeasRecord slow = sampled(600, [](double x) { return 1.0 + 0.02 * x / 60.0; });
    EXPECT_FALSE(FindCurveSigns(slow, t).gradualRise);
}

TEST(CurveSigns, CombinedRuleAgreesWithTheRecordsJudgments)
{
    struct Case {
        double last, ratio;
        int show;
        bool sign;
    };
    // Default criteria: final value 良 ≦ 1.0, 不良 ≧ 10.0; 成極比 不良 ≦ 0.5, 良 ≧ 1.0.
    const Case cases[] = {
        {5.0, 0.8, 1, true},
        {5.0, 0.999, 1, true},
        {5.0, 0.5, 1, true},
        {1.01, 0.5, 1, true},
        {9.99, 0.9, 1, true},
        // 成極比 1.0 is judged 良: no 成極比低下 beside it.
        {5.0, 1.0, 1, false},
        {5.0, 1.01, 1, false},
        // A final value judged 良 (≦ 1.0) or 不良 (≧ 10.0) is outside the rule.
        {1.0, 0.5, 1, false},
        {0.99, 0.5, 1, false},
        {10.0, 0.9, 1, false},
        {10.01, 0.9, 1, false},
        {5.0, UNSET_VALUE, 1, false},
        {5.0, 0.8, 0, false},
    };
    for (const auto& c : cases) {
        CMeasRecord r;
        r.LastCurrent = c.last;
        r.SeikyokuRatio = c.ratio;
        r.ShowSeikyoku = c.show;
        const CurveSigns s = FindCurveSigns(r, AnalysisThresholds{});
        EXPECT_EQ(s.lowPolarization, c.sign) << c.last << " " << c.ratio << " " << c.show;
        if (s.lowPolarization) {
            EXPECT_NE(r.JudgeSeikyoku(), Judgment::Good);
            EXPECT_EQ(r.JudgeLastCurrent(), Judgment::Caution);
        }
    }
    CMeasRecord r;
    r.LastCurrent = 5.0;
    r.SeikyokuRatio = 0.8;
    EXPECT_EQ(u8(FindCurveSigns(r, AnalysisThresholds{}).signs.at(0).text),
              "最終値 5.000 μA (1.0～10.0 μA) かつ 成極比 0.800 < 1.0");
}

// The emulator's curves: absorption decays of several time constants and noise levels on
// leakages from near zero to tens of μA, in both ranges. A smooth decay has no spike; each
// real kick, below or above the trigger setting, is found once.
TEST(CurveSigns, EmulatorDecaysAndKicksTable)
{
    const double taus[] = {2.0, 4.0, 8.0, 12.0, 30.0};
    const double noises[] = {0.0, 0.02, 0.1};
    const double leaks[] = {0.05, 1.3, 12.0};
    int seed = 1;
    for (int kind = 0; kind < 3; ++kind) { // 0 smooth, 1 kick below the trigger, 2 above it
        for (const double tau : taus)
            for (const double noise : noises)
                for (const double leak : leaks)
                    for (int range = 0; range < 2; ++range)
                        for (const double absorb : {20.0, 60.0}) {
                            EmulatorOptions o;
                            o.seed = static_cast<uint32_t>(++seed);
                            o.measureSeconds = 120;
                            EmulatorRecordShape shape;
                            shape.leak = leak;
                            shape.tau = tau;
                            shape.noise = noise;
                            shape.rangeFlag = range;
                            shape.kicks = kind == 0 ? 0 : 1;
                            shape.kickFactor = kind == 1 ? 4.0 : 0.0;
                            // The trigger setting: out of reach, or just above the steady curve.
                            shape.trigger =
                                kind == 2 ? std::max(20, static_cast<int>(leak * 80)) : 9999;
                            // The absorption current at the start, × the leakage; a kick above
                            // the trigger setting rises above a lower one.
                            shape.absorb = (kind == 2 ? absorb / 10.0 : absorb) * leak;
                            o.shapes = {shape};
                            const TesterEmulator emu(o);
                            const CMeasRecord r = emu.expected().at(0);
                            const CurveSigns s = FindCurveSigns(r, AnalysisThresholds{});
                            SCOPED_TRACE(testing::Message()
                                         << "kind " << kind << " tau " << tau << " noise " << noise
                                         << " leak " << leak << " range " << range << " absorb "
                                         << absorb);
                            int spikes = 0, triggerKicks = 0;
                            for (const CurveSign& sign : s.signs) {
                                spikes += sign.kind == SignKind::Spike;
                                triggerKicks += sign.kind == SignKind::TriggerKick;
                                if (sign.kind == SignKind::Spike && kind == 0)
                                    ADD_FAILURE() << u8(sign.text);
                            }
                            if (kind == 1) {
                                // A kick on a near-zero current in the 0.1 μA range can vanish
                                // in the counts; wherever it shows, it is one spike.
                                const bool visible = range == 0 || leak * 3.0 >= 0.2;
                                if (visible) {
                                    EXPECT_EQ(spikes, 1);
                                }
                                EXPECT_LE(spikes, 1);
                                if (spikes > 1)
                                    for (const CurveSign& sign : s.signs)
                                        ADD_FAILURE() << u8(sign.text);
                                EXPECT_EQ(triggerKicks, 0);
                            }
                            if (kind == 2) {
                                EXPECT_EQ(triggerKicks, 1);
                                EXPECT_EQ(spikes, 0);
                            }
                        }
    }
}

} // namespace
