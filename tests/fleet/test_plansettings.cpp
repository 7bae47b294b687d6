// [Plan] and [Health] of system.ini: defaults when missing, bad values refused, written only
// when changed.
#include <gtest/gtest.h>

#include "fileutil.h"
#include "fleet/plansettings.h"
#include "fleettesthelp.h"

using namespace fleet;

TEST(FleetSettings, ReadsDefaultsRefusesBadValuesAndWritesOnlyChanges)
{
    fleettest::TempDir dir;
    const auto ini = dir.path / "system.ini";
    const std::string original = "[Param]\r\nTriggValidSec=10\r\n";
    testfile::writeAll(ini, original);
    EXPECT_EQ(ReadFleetSettings(ini.string()), FleetSettings{});
    // Writing the defaults leaves the file as it was.
    ASSERT_TRUE(WriteFleetSettings(ini.string(), FleetSettings{}));
    EXPECT_EQ(testfile::readAll(ini), original);

    testfile::writeAll(ini,
                       "[Plan]\r\nDefaultInterval=24\r\nWarningDays=-3\r\nCautionFactor=1.5\r\n"
                       "BadFactor=0.3\r\nMinInterval=2.5\r\n[Health]\r\nUnbalance=45\r\n"
                       "Knee=500\r\n");
    const FleetSettings s = ReadFleetSettings(ini.string());
    EXPECT_EQ(s.plan.defaultIntervalMonths, 24);
    EXPECT_EQ(s.plan.warningDays, 60);    // negative: default
    EXPECT_EQ(s.plan.cautionFactor, 0.5); // a factor above 1 would lengthen: default
    EXPECT_EQ(s.plan.badFactor, 0.3);
    EXPECT_EQ(s.plan.minIntervalMonths, 1); // not whole months: default
    EXPECT_EQ(s.weights.unbalance, 45);
    EXPECT_EQ(s.weights.knee, 20); // above 100 points: default

    testfile::writeAll(ini, original);
    FleetSettings changed;
    changed.plan.warningDays = 30;
    changed.weights.growth = 25;
    ASSERT_TRUE(WriteFleetSettings(ini.string(), changed));
    const std::string text = testfile::readAll(ini);
    EXPECT_NE(text.find("WarningDays=30"), std::string::npos);
    EXPECT_NE(text.find("Growth=25"), std::string::npos);
    EXPECT_EQ(text.find("DefaultInterval"), std::string::npos);
    EXPECT_EQ(ReadFleetSettings(ini.string()), changed);
}
