// Phase balance: unbalance ratios and the grouping of R, S and T records by day and voltage.
#include <gtest/gtest.h>

#include <cmath>

#include "analysis/phasebalance.h"
#include "analysistesthelp.h"

using namespace analysis;
using analysistest::addSet;
using analysistest::step;
using analysistest::u8;

namespace {

struct UnbalanceCase {
    std::optional<double> r, s, t;
    UnbalanceStatus status;
    double percent; // when Ok
    bool exceeds;
    const char* text;
};

TEST(Unbalance, Table)
{
    const UnbalanceCase cases[] = {
        {10, 10, 10, UnbalanceStatus::Ok, 0.0, false, "0.0 %"},
        {1, 2, 3, UnbalanceStatus::Ok, 100.0, false, "100.0 %"},
        {0, 1, 2, UnbalanceStatus::Ok, 200.0, true, "200.0 %"}, // at the limit: a sign
        {0.5, 0.5, 5, UnbalanceStatus::Ok, 225.0, true, "225.0 %"},
        {0, 0, 0, UnbalanceStatus::ZeroMean, 0, false, "---"},
        {1, 2, std::nullopt, UnbalanceStatus::MissingPhase, 0, false, "---"},
        {std::nullopt, std::nullopt, std::nullopt, UnbalanceStatus::MissingPhase, 0, false, "---"},
        {1, NAN, 1, UnbalanceStatus::MissingPhase, 0, false, "---"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const Unbalance u = UnbalanceOf({c.r, c.s, c.t}, 200.0);
        EXPECT_EQ(u.status, c.status);
        if (c.status == UnbalanceStatus::Ok)
            EXPECT_NEAR(u.percent, c.percent, 1e-9);
        else
            EXPECT_EQ(u.percent, UNSET_VALUE);
        EXPECT_EQ(u.exceeds, c.exceeds);
        EXPECT_EQ(u8(u.text), c.text);
    }
}

TEST(RecordPhase, FromConditionCode)
{
    CMeasRecord r;
    const std::pair<int32_t, Phase> cases[] = {
        {CabKindR, Phase::R},       {CabKindS, Phase::S},
        {CabKindT, Phase::T},       {CabKindThreePhase, Phase::ThreePhase},
        {CabKindNone, Phase::None}, {7, Phase::None}};
    for (auto [code, phase] : cases) {
        r.Condition.CabKind = code;
        EXPECT_EQ(RecordPhase(r), phase) << code;
    }
    EXPECT_EQ(u8(PhaseText(Phase::T)), "Ｔ相");
}

// Three sets of one day, one phase each (as sets are usually filed), and one set of a later
// year: R and S at 2 and 4 kV, T at 2 kV only.
CCable yearCable()
{
    CCable cable;
    addSet(cable, "2024 R").InsertRecord(step(2.0, 1.0, CabKindR));
    addSet(cable, "2024 R").InsertRecord(step(4.0, 2.0, CabKindR));
    addSet(cable, "2024 S").InsertRecord(step(2.0, 1.0, CabKindS));
    addSet(cable, "2024 S").InsertRecord(step(4.0, 2.0, CabKindS));
    CMeasRecord t = step(2.0, 7.0, CabKindT, "2024/05/12 11:30:00");
    t.Condition.CurrentR = 0.1;
    t.Condition.CurrentS = 0.1;
    t.Condition.CurrentT = 0.4;
    addSet(cable, "2024 T").InsertRecord(t);
    addSet(cable, "2025 R").InsertRecord(step(2.0, 1.5, CabKindR, "2025/05/20 09:00:00"));
    return cable;
}

TEST(PhaseBalance, CableGroupsByDayAndVoltage)
{
    const CCable cable = yearCable();
    const auto groups = PhaseBalanceOfCable(cable, AnalysisThresholds{});
    ASSERT_EQ(groups.size(), 3u);

    const PhaseGroup& g2 = groups[0];
    EXPECT_EQ(u8(g2.dayText), "2024/05/12");
    EXPECT_DOUBLE_EQ(g2.testVoltage, 2.0);
    EXPECT_EQ(g2.finalValue[0], 1.0);
    EXPECT_EQ(g2.finalValue[2], 7.0);
    EXPECT_EQ(u8(g2.record[2]->setName), "2024 T");
    // (7 - 1) / 3 × 100 = 200 %: at the limit.
    EXPECT_EQ(g2.leakage.status, UnbalanceStatus::Ok);
    EXPECT_NEAR(g2.leakage.percent, 200.0, 1e-9);
    EXPECT_TRUE(g2.leakage.exceeds);
    // Shield currents 0.1, 0.1, 0.4 mA: (0.4 - 0.1) / 0.2 × 100 = 150 %.
    EXPECT_NEAR(g2.shield.percent, 150.0, 1e-9);
    EXPECT_FALSE(g2.shield.exceeds);
    EXPECT_TRUE(g2.note.empty());

    const PhaseGroup& g4 = groups[1];
    EXPECT_DOUBLE_EQ(g4.testVoltage, 4.0);
    EXPECT_FALSE(g4.finalValue[2]);
    EXPECT_EQ(g4.leakage.status, UnbalanceStatus::MissingPhase);
    EXPECT_EQ(u8(g4.leakage.text), "---");
    EXPECT_EQ(u8(g4.note), "Ｔ相の測定なし");
    // No shield currents entered in the sets of this row (0.0 is "not entered").
    EXPECT_EQ(g4.shield.status, UnbalanceStatus::MissingPhase);

    EXPECT_EQ(u8(groups[2].dayText), "2025/05/20");
    EXPECT_EQ(u8(groups[2].note), "Ｓ相・Ｔ相の測定なし");
}

TEST(PhaseBalance, AroundSetKeepsTheDaysOfThatSet)
{
    const CCable cable = yearCable();
    const AnalysisThresholds t;
    EXPECT_EQ(PhaseBalanceAroundSet(cable, *cp932::fromUtf8("2024 T"), t).size(), 2u);
    const auto later = PhaseBalanceAroundSet(cable, *cp932::fromUtf8("2025 R"), t);
    ASSERT_EQ(later.size(), 1u);
    EXPECT_EQ(later[0].finalValue[0], 1.5);
    EXPECT_TRUE(PhaseBalanceAroundSet(cable, "none", t).empty());
}

TEST(PhaseBalance, SetWithoutPhaseRecordsHasNoRows)
{
    CMeasData set;
    set.InsertRecord(step(2.0, 1.0, CabKindThreePhase));
    set.InsertRecord(step(4.0, 2.0, CabKindNone));
    EXPECT_TRUE(PhaseBalanceOfSet(set, AnalysisThresholds{}).empty());
    EXPECT_TRUE(PhaseBalanceOfSet(CMeasData{}, AnalysisThresholds{}).empty());
}

TEST(PhaseBalance, OneSetWithAllPhasesZeroCurrentsAndRepeats)
{
    CMeasData set;
    set.InsertRecord(step(2.0, 0.0, CabKindR));
    set.InsertRecord(step(2.0, 0.0, CabKindS));
    set.InsertRecord(step(2.0, 0.0, CabKindT));
    // S measured twice at 4 kV: the later measurement counts.
    set.InsertRecord(step(4.0, 2.0, CabKindR));
    set.InsertRecord(step(4.0, 9.0, CabKindS, "2024/05/12 09:00:00"));
    set.InsertRecord(step(4.0, 3.0, CabKindS, "2024/05/12 12:00:00"));
    set.InsertRecord(step(4.0, 4.0, CabKindT));
    const auto groups = PhaseBalanceOfSet(set, AnalysisThresholds{});
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].leakage.status, UnbalanceStatus::ZeroMean);
    EXPECT_EQ(u8(groups[0].leakage.text), "---");
    EXPECT_EQ(groups[1].finalValue[1], 3.0);
    EXPECT_NEAR(groups[1].leakage.percent, 2.0 / 3.0 * 100.0, 1e-9);
    EXPECT_EQ(u8(groups[1].note), "Ｓ相 2回測定 (最新を使用)");
}

TEST(PhaseBalance, UndatedRecordsStayWithinTheirSet)
{
    CCable cable;
    addSet(cable, "A").InsertRecord(step(2.0, 1.0, CabKindR, nullptr));
    addSet(cable, "B").InsertRecord(step(2.0, 1.0, CabKindS, nullptr));
    const auto groups = PhaseBalanceOfCable(cable, AnalysisThresholds{});
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].dayText, "");
    EXPECT_NE(groups[0].day.status, OleDateTime::Valid);
    EXPECT_EQ(PhaseBalanceAroundSet(cable, "B", AnalysisThresholds{}).size(), 1u);
}

} // namespace
