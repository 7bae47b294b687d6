// Pure parts of the final value selection: the line text of one point, the elapsed-seconds
// correction, reading the dialog's number boxes, and applying a chosen final point to a record
// and its set. No Qt, so the rules are tested without a window.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/measdata.h"
#include "model/measrecord.h"
#include "commands/setedits.h"

namespace finalvalue {

// Limits of the two number boxes of the dialog.
inline constexpr double kElapsedMin = 0.0;
inline constexpr double kElapsedMax = 99999.9;
inline constexpr double kValueMin = 0.0;
inline constexpr double kValueMax = 99999.999;

// The CP932 line of point i: "|%s%s( %s )" with "●" on the marked point and two spaces on
// the others, then the point's time and value texts; "" when i is outside the points.
std::string PointLineText(const std::vector<CMeasPoint>& points, long long i, int markedIndex,
                          int rangeFlag);

// The position of the record's final point (UsedPoints - 1), kept inside the points so that a
// damaged count never marks a point that does not exist; -1 when there is none.
int FinalPointIndex(const CMeasRecord& record);

// Makes point `selected` the zero of time: every later point gets (2 × (i − s)) × 0.1 seconds
// (0, 0.2, 0.4, …), every earlier point 0. A position outside the points changes nothing.
void CorrectElapsedFrom(std::vector<CMeasPoint>& points, std::size_t selected);

// A number box as the dialog reads it: the whole text (surrounding blanks allowed) must be one
// decimal number within [min, max]; otherwise nothing.
std::optional<double> ParseBoxNumber(std::string_view text, double min, double max);

// The text a number box shows for a value ("%.15g": 0.2 reads "0.2", 0 reads "0").
std::string BoxNumberText(double v);

// The message for a box that is not a number or out of its range (UTF-8), the standard one
// of every number field: "0 から 99999.9 までの数字を入力してください。"
std::string RangeMessage(double min, double max);

// Applying the chosen points and final point to a record and its set (ApplyToRecord,
// ApplyToSet) is a change of the tree: see commands/setedits.h.


} // namespace finalvalue
