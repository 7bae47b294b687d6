// Legible text fitting: how a cell's text is drawn once its preferred height is known. The
// text shrinks to fit, but never below a legible minimum; past that it wraps to a second
// line when two lines fit the cell, and what still does not fit is elided. No Qt here: the
// measuring is a callback, so the rule is tested on its own.
#pragma once

#include <functional>

namespace report {

struct TextFit {
    int height = 1;         // font height, 0.1 mm
    int lines = 1;          // 1, or 2 when the text wraps
    bool elided = false;    // the last line ends in an ellipsis
    bool overflows = false; // a text not wrapped that is still larger than its room
    bool operator==(const TextFit&) const = default;
};

// fits(h, lines): the text, wrapped into at most `lines` lines at height h, fits the cell's
// text rectangle (width and height). roomFor(h, lines): that many lines of height h fit the
// rectangle's height, whatever the text. Both hold less as h grows.
//
// The preferred height (a fit group's, or the text's own fit) is kept when the text fits at
// it; otherwise the largest height from `minimum` up at which it fits on one line; otherwise
// the largest such height on two lines when two lines of the minimum height fit the cell;
// otherwise the minimum height, elided (on two lines when they fit, else on one).
TextFit fitLegible(int preferred, int minimum, const std::function<bool(int, int)>& fits,
                   const std::function<bool(int, int)>& roomFor);

} // namespace report
