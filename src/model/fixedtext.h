// Fixed-point number texts written straight into a caller's buffer, byte for byte as printf's
// "%*.*f" writes them in the C locale, without a locale switch or a format string per number.
#pragma once

#include <cstddef>
#include <string>

namespace fixedtext {

// Widest precision and field width accepted; larger ones are clamped.
inline constexpr int kMaxPrecision = 17;
inline constexpr int kMaxWidth = 32;

// Room a buffer needs for any finite or non-finite value at the accepted precision and width:
// sign, 309 integer digits of the largest double, the point and the decimals.
inline constexpr std::size_t kMaxChars = 1 + 309 + 1 + kMaxPrecision + kMaxWidth;

// Writes v as "%*.*f" (width, precision) would: the exact binary value rounded half to even, a
// '-' on every negative value including -0.0 and those rounding to zero, "nan"/"inf" with
// their sign, right-aligned in width with spaces. Returns the end of the text written into out,
// which must hold kMaxChars bytes.
char* Write(char* out, double v, int precision, int width = 0);

// The same text appended to a string.
void Append(std::string& out, double v, int precision, int width = 0);

// The same text as a string of its own.
std::string Text(double v, int precision, int width = 0);

} // namespace fixedtext
