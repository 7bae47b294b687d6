// The analysis limits in system.ini: defaults, bad values, and a file that keeps its bytes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "analysis/analysissettings.h"

namespace {

namespace fs = std::filesystem;

class AnalysisSettings : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() /
              ("mxr_analysis_settings_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        path = (dir / "system.ini").string();
    }
    void TearDown() override { fs::remove_all(dir); }

    void write(const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
    std::string read() const
    {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    fs::path dir;
    std::string path;
};

TEST_F(AnalysisSettings, MissingFileGivesDefaultsAndStaysMissing)
{
    EXPECT_EQ(ReadAnalysisThresholds(path), AnalysisThresholds{});
    EXPECT_FALSE(fs::exists(path));
    EXPECT_TRUE(WriteAnalysisThresholds(path, AnalysisThresholds{}));
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(AnalysisSettings, ValuesReadAndBadOnesFallBack)
{
    write("[Param]\r\nTriggValidSec=5\r\n[Analysis]\r\nUnbalanceLimit=150\r\nSpikeFactor=3.5\r\n"
          "KneeFactor=-1\r\nRiseMinutes=abc\r\nSpikeMinDelta=0\r\nRiseSlopePercent=nan\r\n");
    const std::string before = read();
    const AnalysisThresholds t = ReadAnalysisThresholds(path);
    EXPECT_EQ(t.unbalanceLimitPercent, 150.0);
    EXPECT_EQ(t.spikeFactor, 3.5);
    EXPECT_EQ(t.kneeFactor, AnalysisThresholds{}.kneeFactor);
    EXPECT_EQ(t.riseWindowMinutes, AnalysisThresholds{}.riseWindowMinutes);
    EXPECT_EQ(t.riseSlopePercentPerMinute, AnalysisThresholds{}.riseSlopePercentPerMinute);
    EXPECT_EQ(t.spikeMinDelta, 0.0);
    EXPECT_EQ(t.triggValidSec, 5);
    EXPECT_EQ(read(), before); // reading writes nothing back
}

TEST_F(AnalysisSettings, WriteTouchesOnlyChangedOrPresentKeys)
{
    const std::string shared = "; shared with the older program\r\n[title]\r\nCustomer=X\r\n"
                               "[Analysis]\r\nKneeFactor=1.5\r\n";
    write(shared);
    EXPECT_TRUE(WriteAnalysisThresholds(path, AnalysisThresholds{}));
    EXPECT_EQ(read(), shared); // a present key equal to its value keeps its bytes

    AnalysisThresholds t;
    t.unbalanceLimitPercent = 250;
    t.kneeFactor = 2.0;
    EXPECT_TRUE(WriteAnalysisThresholds(path, t));
    EXPECT_EQ(read(), "; shared with the older program\r\n[title]\r\nCustomer=X\r\n"
                      "[Analysis]\r\nKneeFactor=2\r\nUnbalanceLimit=250\r\n");
    EXPECT_EQ(ReadAnalysisThresholds(path), t);
}

} // namespace
