// The demo store's analysis cable shows every sign the analysis windows present.
#include <gtest/gtest.h>

#include "analysis/history.h"
#include "analysistesthelp.h"
#include "app/demodata.h"
#include "link/emulator.h"

#include <cmath>

using namespace analysis;
using analysistest::u8;

TEST(DemoTrendCable, ShowsTrendUnbalanceKneeAndRise)
{
    const CCustomerDB db = demo::BuildStore();
    const int c = db.customers.Find(*cp932::fromUtf8("南風台浄水場"));
    ASSERT_GE(c, 0);
    const CCable& cable = db.customers.At(c).cables.At(0);
    const CableHistory h = BuildCableHistory(db.customers.At(c).name, cable, AnalysisThresholds{});
    ASSERT_EQ(h.sets.size(), 30u);
    EXPECT_EQ(u8(h.sets.front().name), "2016年 R相");
    EXPECT_EQ(u8(h.sets.back().name), "2025年 T相");

    // The R phase at 8 kV worsens year by year.
    double previous = 0.0;
    for (const SetSummary& s : h.sets) {
        if (u8(s.name).find("R相") == std::string::npos)
            continue;
        const double top = s.steps.back().finalValue;
        EXPECT_GT(top, previous) << u8(s.name);
        previous = top;
    }

    // 2025: T runs away from R and S at every step; its step test bends at the top.
    const SetSummary& t2025 = h.sets.back();
    ASSERT_EQ(t2025.phases.size(), 4u);
    for (const PhaseGroup& g : t2025.phases)
        EXPECT_TRUE(g.leakage.exceeds) << g.testVoltage;
    ASSERT_EQ(t2025.stepCurves.size(), 1u);
    EXPECT_EQ(t2025.stepCurves[0].kneeIndex, 3);
    // Earlier years are balanced and straight.
    EXPECT_FALSE(h.sets.front().phases.at(0).leakage.exceeds);
    EXPECT_EQ(h.sets.front().stepCurves.at(0).kneeIndex, -1);

    // 2025 R: the long 8 kV measurement creeps upwards.
    const SetSummary& r2025 = h.sets[h.sets.size() - 3];
    EXPECT_EQ(u8(r2025.name), "2025年 R相");
    EXPECT_TRUE(r2025.steps.back().signs.gradualRise);
    EXPECT_FALSE(r2025.steps.front().signs.gradualRise);

    // 2024 T: a kick above the trigger setting at 8 kV.
    const SetSummary& t2024 = h.sets[h.sets.size() - 4];
    EXPECT_EQ(u8(t2024.name), "2024年 T相");
    EXPECT_GT(t2024.steps.back().signs.kickCount, 0);
}

// The demo's reception: a step test of the afternoon before the day it is received, the
// records in order; never a date after that day, whatever the day.
TEST(DemoDump, DatedTheDayBeforeInOrder)
{
    for (const CalendarTime today :
         {CalendarTime{2026, 12, 11}, CalendarTime{2027, 1, 1}, CalendarTime{2028, 3, 1}}) {
        const TesterEmulator emu(demo::DumpOptions(today));
        const auto& records = emu.expected();
        ASSERT_EQ(records.size(), 4u);
        const double midnight = OleDateTime::fromCalendar(today)->date;
        double previous = 0;
        for (const ReceivedRecord& r : records) {
            ASSERT_EQ(r.StartTime.status, OleDateTime::Valid);
            EXPECT_LT(r.StartTime.date, midnight);
            EXPECT_GT(r.StartTime.date, midnight - 1.0);
            EXPECT_GT(r.StartTime.date, previous);
            previous = r.StartTime.date;
        }
    }
}

// The demo store's judgments are clear: a sound cable is 良 on every value, and hardly any
// value lies near a criterion's boundary (within 3 %), where a judgment would turn on noise.
TEST(DemoStore, JudgmentsAreClearAndSoundCablesAreGood)
{
    const CCustomerDB db = demo::BuildStore();
    int values = 0, nearBoundary = 0;
    std::string near;
    auto check = [&](double v, double lo, double hi, const std::string& what) {
        if (!std::isfinite(v) || v == UNSET_VALUE)
            return;
        ++values;
        for (double limit : {lo, hi})
            if (std::abs(v - limit) <= 0.03 * limit) {
                ++nearBoundary;
                near += what + " ";
            }
    };
    for (int c = 0; c < db.customers.Count(); ++c) {
        const CCustomer& customer = db.customers.At(c);
        for (int k = 0; k < customer.cables.Count(); ++k) {
            const CCable& cable = customer.cables.At(k);
            for (int s = 0; s < cable.sets.Count(); ++s) {
                const CMeasData& set = cable.sets.At(s);
                for (std::size_t i = 0; i < set.RecordCount(); ++i) {
                    const CMeasRecord& r = set.RecordAt(i);
                    const CTestCondition& q = r.Condition;
                    const std::string what =
                        u8(cable.name + " " + set.name) + "#" + std::to_string(i);
                    check(r.LastCurrent, q.LastCurrentMin, q.LastCurrentMax, what + "/final");
                    check(r.SeikyokuRatio, q.SeikyokuMin, q.SeikyokuMax, what + "/seikyoku");
                    check(r.JyakutenRatio, q.JyakutenMin, q.JyakutenMax, what + "/jyakuten");
                }
            }
        }
    }
    EXPECT_GT(values, 500);
    EXPECT_LE(nearBoundary, values / 100) << near;

    // The first cable (shown at start) is sound in its first year: 良 throughout, and the ten
    // years' cable is sound in its first years.
    const CCable& first = db.customers.At(0).cables.At(0);
    const CMeasData& firstSet = first.sets.At(0);
    for (std::size_t i = 0; i < firstSet.RecordCount(); ++i) {
        const CMeasRecord& r = firstSet.RecordAt(i);
        EXPECT_EQ(r.JudgeLastCurrent(), Judgment::Good) << i;
        EXPECT_EQ(r.JudgeSeikyoku(), Judgment::Good) << i;
        if (i + 1 < firstSet.RecordCount()) {
            EXPECT_EQ(r.JudgeJyakuten(), Judgment::Good) << i;
        }
    }
    const int trend = db.customers.Find(*cp932::fromUtf8("南風台浄水場"));
    ASSERT_GE(trend, 0);
    const CableHistory h = BuildCableHistory(
        db.customers.At(trend).name, db.customers.At(trend).cables.At(0), AnalysisThresholds{});
    for (std::size_t s = 0; s < 9; ++s) // 2016-2018, R, S and T
        EXPECT_EQ(h.sets[s].cautionCount + h.sets[s].badCount, 0) << u8(h.sets[s].name);
}
