// Locale-independent atof, optional numbers and printf-style formatting.
#include <gtest/gtest.h>

#include <string>

#include "model/number.h"

namespace {

TEST(MxrAtof, LongestDecimalPrefix)
{
    struct Case {
        const char* text;
        double value;
    } cases[] = {
        {"1.5", 1.5},
        {"  -2.5e2xyz", -250.0},
        {"", 0.0},
        {"abc", 0.0},
        {"1e", 1.0},
        {"1e+", 1.0},
        {".5", 0.5},
        {"5.", 5.0},
        {"+3", 3.0},
        {"1,5", 1.0},
        {"\t\n 7", 7.0},
        {"-", 0.0},
        {".", 0.0},
        {"1e-2", 0.01},
        {"0.1", 0.1},
        {"12.30 MΩ", 12.3},
        {"---", 0.0},
        {"- 5", 0.0},
        {"1E3", 1000.0},
        // Only decimal numbers: no infinities, NaNs or hexadecimal text from a file.
        {"nan", 0.0},
        {"inf", 0.0},
        {"-infinity", 0.0},
        {"0x10", 0.0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(mxrAtof(c.text), c.value) << '"' << c.text << '"';
    EXPECT_EQ(mxrAtof(std::string("4\0"
                                  "2",
                                  3)),
              4.0);
    EXPECT_DOUBLE_EQ(mxrAtof("0." + std::string(300, '0') + "1e301"), 1.0);
}

TEST(OptionalNumber, DashesAndEmptyAreUnset)
{
    EXPECT_EQ(optionalNumber(""), UNSET_VALUE);
    EXPECT_EQ(optionalNumber("---"), UNSET_VALUE);
    EXPECT_EQ(optionalNumber("--- "), 0.0); // only the exact text means no value
    EXPECT_EQ(optionalNumber("-"), 0.0);
    EXPECT_EQ(optionalNumber("12.5"), 12.5);
    EXPECT_EQ(optionalNumber("-99999999"), UNSET_VALUE); // the marker itself, as written
}

TEST(FormatC, PrintfConventions)
{
    EXPECT_EQ(formatC("%6.3lf", 2.345), " 2.345");
    EXPECT_EQ(formatC("%6.1lf", 2.345), "   2.3");
    EXPECT_EQ(formatC("%.1lf", 0.55), "0.6");
    EXPECT_EQ(formatC("%.0lf", 1234.0), "1234");
    EXPECT_EQ(formatC("%s|%d", "x", 7), "x|7");
    EXPECT_EQ(formatC("%s", ""), "");
    // Longer than the internal buffer.
    const std::string longText(1000, 'z');
    EXPECT_EQ(formatC("<%s>", longText.c_str()), "<" + longText + ">");
}

} // namespace
