#include "analysis/selectkth.h"

#include <utility>

namespace analysis {

double SelectKth(double* a, std::size_t n, std::size_t k)
{
    std::size_t lo = 0, hi = n; // the k-th lies in a[lo, hi)
    while (hi - lo > 1) {
        // The median of three as pivot, moved to the end of the range.
        const std::size_t mid = lo + (hi - lo) / 2;
        if (a[mid] < a[lo])
            std::swap(a[mid], a[lo]);
        if (a[hi - 1] < a[lo])
            std::swap(a[hi - 1], a[lo]);
        if (a[mid] < a[hi - 1])
            std::swap(a[mid], a[hi - 1]);
        const double pivot = a[hi - 1];
        std::size_t i = lo;
        for (std::size_t j = lo; j + 1 < hi; ++j) {
            const double x = a[j];
            a[j] = a[i];
            a[i] = x;
            i += x < pivot ? 1 : 0;
        }
        std::swap(a[i], a[hi - 1]); // a[lo, i) < pivot == a[i] <= a(i, hi)
        if (k <= i) {
            if (k == i)
                return pivot;
            hi = i;
            continue;
        }
        // Gather the elements equal to the pivot after it, so that a range of equal values
        // (a flat or quantized curve) ends the search instead of shrinking it by one.
        std::size_t e = i + 1;
        for (std::size_t j = e; j < hi; ++j) {
            const double x = a[j];
            a[j] = a[e];
            a[e] = x;
            e += x == pivot ? 1 : 0;
        }
        if (k < e)
            return pivot;
        lo = e;
    }
    return a[k];
}

} // namespace analysis
