// Selection of the k-th smallest value in place.
#pragma once

#include <cstddef>

namespace analysis {

// The k-th smallest of a[0, n) moved to a[k], with every element before it no greater and
// every element after it no smaller. A quickselect whose partition moves elements without
// branching on the comparison: the values of a noisy curve compare at random, and the branch
// mispredictions of std::nth_element cost more than the comparisons on the short blocks.
// n > k; the values are not NaN.
double SelectKth(double* a, std::size_t n, std::size_t k);

} // namespace analysis
