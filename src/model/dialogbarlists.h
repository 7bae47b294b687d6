// The items of the dialog bar's three lists and the auto-scaling that picks axis and width
// for a measurement. Plain C++ so the choice can be tested without widgets.
#pragma once

#include <string>
#include <vector>

namespace dialogbar {

std::vector<std::string> axisItems();      // "1000", "500", … "1"
std::vector<std::string> startTimeItems(); // "0.0", "0.5", … "15.5"
std::vector<std::string> widthItems();     // "0.5", "1", … "16"

// The value of a list: the selected item's text as a number, -1 without a selection.
double itemValue(const std::vector<std::string>& items, int index);

// Axis: the smallest listed full scale not below maxValue; the first item ("1000") when the
// maximum exceeds every item, the last ("1") when it is 1 or less.
int autoAxisIndex(const std::vector<std::string>& items, double maxValue);

// Width: the first item whose integer value is strictly greater than the duration in
// minutes; the last item when none is. "0.5" counts as 0 and is never chosen here.
int autoWidthIndex(const std::vector<std::string>& items, double maxSeconds);

} // namespace dialogbar
