// Small text helpers shared by the analysis modules (internal to the library).
#pragma once

#include <optional>
#include <string>

#include "model/oledate.h"

namespace analysis::text {

// A current in μA with three decimals and no padding: "12.000".
std::string current(double microAmps);
// A ratio with three decimals: "0.700".
std::string ratio(double v);
// A limit as the criteria show it, with one decimal, or up to three when it has more: "10.0",
// "0.75".
std::string limit(double v);
// A finite number is a value; UNSET_VALUE and non-finite numbers are not.
bool isValue(double v);
// Midnight of a valid date-time's day, or nothing.
std::optional<double> dayOf(const OleDateTime& t);

} // namespace analysis::text
