// Fixed-point texts against the C library's printf over millions of values: random bit
// patterns, random magnitudes, decimal halves, exact binary halves and values next to powers
// of ten, each in every form the program prints.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <limits>
#include <random>
#include <string>

#include "model/fixedtext.h"

namespace {

struct Form {
    int precision;
    int width;
};
// The two forms of every current and ratio, then the others the program prints, one of which
// is checked with each value in turn.
constexpr Form kMainForms[] = {{1, 0}, {3, 0}};
constexpr Form kOtherForms[] = {{1, 6}, {3, 6}, {2, 0}, {0, 0}};

bool sameAsPrintf(double v, const Form& f)
{
    char expected[fixedtext::kMaxChars + 16];
    char got[fixedtext::kMaxChars];
    const int n = std::snprintf(expected, sizeof expected, "%*.*f", f.width, f.precision, v);
    const std::string want(expected, static_cast<std::size_t>(n));
    const std::string have(got, fixedtext::Write(got, v, f.precision, f.width));
    if (have == want)
        return true;
    ADD_FAILURE() << "%" << f.width << "." << f.precision << "f of " << std::hexfloat << v
                  << ": printf \"" << want << "\", ours \"" << have << '"';
    return false;
}

// Compares one value; returns false (and reports) at the first difference, so a fault shows
// once rather than a million times.
bool sameAsPrintf(double v)
{
    static unsigned turn = 0;
    for (const Form& f : kMainForms) {
        if (!sameAsPrintf(v, f))
            return false;
    }
    return sameAsPrintf(v, kOtherForms[turn++ % std::size(kOtherForms)]);
}

// v and its neighbours a few units in the last place either side, both signs.
bool neighbourhoodSameAsPrintf(double v)
{
    double down = v;
    double up = v;
    for (int i = 0; i < 3; ++i) {
        down = std::nextafter(down, -INFINITY);
        up = std::nextafter(up, INFINITY);
        if (!sameAsPrintf(down) || !sameAsPrintf(up) || !sameAsPrintf(-down) || !sameAsPrintf(-up))
            return false;
    }
    return sameAsPrintf(v) && sameAsPrintf(-v);
}

TEST(FixedText, SpecialValuesAsPrintf)
{
    const double cases[] = {0.0,
                            -0.0,
                            0.04,
                            -0.04,
                            -0.0004,
                            0.05,
                            0.25,
                            0.35,
                            2.345,
                            9.95,
                            99.95,
                            999.9995,
                            -99999999.0,
                            std::numeric_limits<double>::denorm_min(),
                            std::numeric_limits<double>::min(),
                            std::numeric_limits<double>::max(),
                            -std::numeric_limits<double>::max(),
                            4503599627370495.5,
                            4503599627370496.0,
                            9007199254740993.0,
                            1e22,
                            INFINITY,
                            -INFINITY,
                            std::numeric_limits<double>::quiet_NaN(),
                            -std::numeric_limits<double>::quiet_NaN()};
    for (double v : cases) {
        for (const Form& f : kMainForms)
            ASSERT_TRUE(sameAsPrintf(v, f));
        for (const Form& f : kOtherForms)
            ASSERT_TRUE(sameAsPrintf(v, f));
    }
}

TEST(FixedText, RandomValuesAsPrintf)
{
    std::mt19937_64 rng(20051211);
    // Any bit pattern: every magnitude, subnormals, infinities and NaNs with either sign.
    // (Most of them print hundreds of digits, slow for printf: fewer of them.)
    for (int i = 0; i < 20000; ++i)
        ASSERT_TRUE(sameAsPrintf(std::bit_cast<double>(rng())));
    // Uniform over the decades the program meets (a current of a few nA to a huge damaged one).
    std::uniform_real_distribution<double> mantissa(1.0, 10.0);
    std::uniform_int_distribution<int> decade(-8, 16);
    for (int i = 0; i < 600000; ++i) {
        const double v = mantissa(rng) * std::pow(10.0, decade(rng));
        ASSERT_TRUE(sameAsPrintf(i % 2 ? v : -v));
    }
}

TEST(FixedText, HalvesAndPowersOfTenAsPrintf)
{
    std::mt19937_64 rng(6);
    std::uniform_int_distribution<std::int64_t> small(0, 2000000);
    // Decimal halves x.x5 and x.xxx5: not exact in binary, so the digits beyond decide.
    for (int i = 0; i < 20000; ++i) {
        const double k = static_cast<double>(small(rng));
        ASSERT_TRUE(neighbourhoodSameAsPrintf((k + 0.5) / 10.0));
        ASSERT_TRUE(neighbourhoodSameAsPrintf((k + 0.5) / 1000.0));
    }
    // Exact binary halves (k / 2^j): true ties, rounded to the even digit.
    std::uniform_int_distribution<int> shift(1, 12);
    for (int i = 0; i < 20000; ++i) {
        const double v = std::ldexp(static_cast<double>(small(rng)), -shift(rng));
        ASSERT_TRUE(neighbourhoodSameAsPrintf(v));
    }
    // Around powers of ten and just under them, where a carry adds a digit.
    for (int e = -6; e <= 18; ++e) {
        const double p = std::pow(10.0, e);
        for (double below : {0.0, 0.5, 0.05, 0.005, 0.0005}) {
            ASSERT_TRUE(neighbourhoodSameAsPrintf(p - below));
            ASSERT_TRUE(neighbourhoodSameAsPrintf(p + below));
        }
    }
}

TEST(FixedText, AppendAndTextMatchWrite)
{
    std::string s = "x=";
    fixedtext::Append(s, -12.345, 1, 8);
    EXPECT_EQ(s, "x=   -12.3");
    EXPECT_EQ(fixedtext::Text(2.5, 0), "2");
    EXPECT_EQ(fixedtext::Text(3.5, 0), "4");
}

} // namespace
