// Legible text fitting: the choice of height, line count and elision.
#include "report/textfit.h"

#include <algorithm>

namespace report {

namespace {

// The largest h in [low, high] with ok(h), for ok holding less as h grows; 0 when none.
int largest(int low, int high, const std::function<bool(int)>& ok)
{
    if (high < low || !ok(low))
        return 0;
    while (low < high) {
        const int mid = low + (high - low + 1) / 2;
        if (ok(mid))
            low = mid;
        else
            high = mid - 1;
    }
    return low;
}

} // namespace

TextFit fitLegible(int preferred, int minimum, const std::function<bool(int, int)>& fits,
                   const std::function<bool(int, int)>& roomFor)
{
    minimum = std::max(minimum, 1);
    const int top = std::max(preferred, minimum);
    if (fits(top, 1))
        return {top, 1, false};
    if (const int h = largest(minimum, top - 1, [&](int x) { return fits(x, 1); }))
        return {h, 1, false};
    if (!roomFor(minimum, 2))
        return {minimum, 1, true};
    if (const int h = largest(minimum, top, [&](int x) { return fits(x, 2); }))
        return {h, 2, false};
    return {minimum, 2, true};
}

} // namespace report
