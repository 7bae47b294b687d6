// Fitting the graph's scale to a measurement: the axis full scale and the time width picked
// from the lists' items for the record's peak value and last used time. Plain C++.
#pragma once

#include <string>
#include <vector>

namespace autoscale {

struct Choice {
    int axisIndex = -1;  // into the axis items
    int widthIndex = -1; // into the width items

    bool operator==(const Choice&) const = default;
};

// Axis: the smallest listed full scale not below maxValue (μA); width: the first item whose
// whole minutes exceed maxSeconds. The start time is not part of the fit.
Choice Choose(const std::vector<std::string>& axisItems,
              const std::vector<std::string>& widthItems, double maxValue, double maxSeconds);

} // namespace autoscale
