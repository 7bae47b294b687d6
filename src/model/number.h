// Optional numbers, atof semantics and printf-style formatting, all independent of the locale.
#pragma once

#include <string>
#include <string_view>

// The no-value marker of optional numbers and uncomputed ratios; shown as "---".
inline constexpr double UNSET_VALUE = -99999999.0;

// Substitute divisor used in place of a zero divisor in the ratio computations.
inline constexpr double SUBSTITUTE_DIVISOR = 0.001;

// atof as in the C locale: skips leading white space, converts the longest numeric prefix,
// gives 0.0 when there is none.
double mxrAtof(std::string_view text);

// Optional number from text: empty or exactly "---" gives UNSET_VALUE, anything else mxrAtof.
double optionalNumber(std::string_view text);

// printf-style formatting that always uses '.' as the decimal point, whatever the locale.
std::string formatC(const char* format, ...) __attribute__((format(printf, 1, 2)));
