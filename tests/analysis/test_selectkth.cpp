// The in-place selection behind the block medians and the rise slope.
#include "analysis/selectkth.h"

#include <algorithm>
#include <random>
#include <vector>

#include <gtest/gtest.h>

namespace {

// Every k of arrays with distinct, repeated, few distinct, sorted and reversed values: the value
// is std::nth_element's, and the array is split around it.
TEST(SelectKth, MatchesNthElementAndSplitsTheArray)
{
    std::mt19937 rng(7);
    const auto shapes = [&rng](std::size_t n, int shape) {
        std::vector<double> v(n);
        std::uniform_real_distribution<double> any(-5.0, 5.0);
        std::uniform_int_distribution<int> few(0, 2);
        for (std::size_t i = 0; i < n; ++i) {
            switch (shape) {
            case 0: v[i] = any(rng); break;
            case 1: v[i] = 0.25; break; // a flat curve
            case 2: v[i] = 0.01 * few(rng); break;
            case 3: v[i] = static_cast<double>(i); break;
            default: v[i] = -static_cast<double>(i); break;
            }
        }
        return v;
    };
    for (std::size_t n : {1u, 2u, 3u, 4u, 7u, 50u, 51u, 257u}) {
        for (int shape = 0; shape < 5; ++shape) {
            const std::vector<double> original = shapes(n, shape);
            for (std::size_t k = 0; k < n; ++k) {
                std::vector<double> expected = original;
                std::nth_element(expected.begin(), expected.begin() + k, expected.end());
                std::vector<double> a = original;
                const double got = analysis::SelectKth(a.data(), n, k);
                ASSERT_EQ(got, expected[k]) << "n " << n << " shape " << shape << " k " << k;
                ASSERT_EQ(a[k], got);
                for (std::size_t i = 0; i < n; ++i)
                    ASSERT_TRUE(i < k ? a[i] <= got : i == k || a[i] >= got)
                        << "n " << n << " shape " << shape << " k " << k << " i " << i;
                std::sort(a.begin(), a.end());
                std::vector<double> sorted = original;
                std::sort(sorted.begin(), sorted.end());
                ASSERT_EQ(a, sorted) << "values lost or made up";
            }
        }
    }
}

} // namespace
