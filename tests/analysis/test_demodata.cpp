// The demo store's analysis cable shows every sign the analysis windows present.
#include <gtest/gtest.h>

#include "analysis/history.h"
#include "analysistesthelp.h"
#include "app/demodata.h"

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
