// Fitting the graph's scale to a record's peak value and duration.
#include <gtest/gtest.h>

#include "model/dialogbarlists.h"
#include "report/autoscale.h"

TEST(AutoScale, PicksSmallestAxisNotBelowPeakAndFirstWidthAboveDuration)
{
    struct Case {
        double maxValue, maxSeconds;
        const char* axis;
        const char* width;
    } cases[] = {
        {0.3, 185, "1", "4"},    // the worked example
        {1500, 60, "1000", "2"}, // above every full scale
        {1000, 30, "1000", "1"}, // equal to a full scale keeps it
        {100.5, 0, "200", "1"},  // just above a full scale goes one up
        {1.0, 180, "1", "4"},    // exactly 3 minutes
        {0, 959, "1", "16"},     // under 16 minutes
        {7, 960, "10", "16"},    // 16 minutes or more keep the last item
        {7, 5000, "10", "16"},
    };
    const auto axis = dialogbar::axisItems();
    const auto width = dialogbar::widthItems();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.maxValue << " uA, " << c.maxSeconds << " s");
        const autoscale::Choice choice = autoscale::Choose(axis, width, c.maxValue, c.maxSeconds);
        EXPECT_EQ(axis.at(choice.axisIndex), c.axis);
        EXPECT_EQ(width.at(choice.widthIndex), c.width);
    }
    // Empty lists have nothing to select.
    EXPECT_EQ(autoscale::Choose({}, {}, 5, 60), (autoscale::Choice{-1, -1}));
}
