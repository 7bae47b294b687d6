// Fixed-point texts: an exact integer path for the few decimals the program shows, the standard
// library's exact conversion for the rest.
#include "model/fixedtext.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace fixedtext {
namespace {

constexpr std::uint64_t kPow10[] = {1, 10, 100, 1000};
constexpr int kFastPrecision = 3;

// |v| * 10^precision rounded to an integer exactly as printf rounds: the binary value is
// m * 2^e, so the product is the integer m * 10^precision (below 2^63 for precision <= 3)
// shifted right by -e, and the shifted-out bits decide the rounding, ties going to the even
// integer. False when |v| is 2^52 or more (no fraction left, the general path writes it).
bool scaledRounded(double magnitude, int precision, std::uint64_t& result)
{
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(magnitude);
    const int biased = static_cast<int>(bits >> 52);
    std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
    int exponent;
    if (biased == 0) {
        exponent = -1074; // subnormal
    } else {
        mantissa |= std::uint64_t{1} << 52;
        exponent = biased - 1075;
    }
    if (exponent >= 0)
        return false;
    const std::uint64_t scaled = mantissa * kPow10[precision];
    const int shift = -exponent;
    if (shift >= 64) {
        // scaled < 2^63, so the value is below one half: rounds to zero.
        result = 0;
        return true;
    }
    std::uint64_t n = scaled >> shift;
    const std::uint64_t rest = scaled & ((std::uint64_t{1} << shift) - 1);
    const std::uint64_t half = std::uint64_t{1} << (shift - 1);
    if (rest > half || (rest == half && (n & 1) != 0))
        ++n;
    result = n;
    return true;
}

// Pads text [begin, end) held in a scratch buffer on the left to width and copies it to out.
char* placeRightAligned(char* out, const char* begin, const char* end, int width)
{
    const std::ptrdiff_t length = end - begin;
    if (length < width) {
        std::memset(out, ' ', static_cast<std::size_t>(width - length));
        out += width - length;
    }
    std::memcpy(out, begin, static_cast<std::size_t>(length));
    return out + length;
}

} // namespace

char* Write(char* out, double v, int precision, int width)
{
    precision = std::clamp(precision, 0, kMaxPrecision);
    width = std::clamp(width, 0, kMaxWidth);
    const bool negative = std::signbit(v);
    const double magnitude = std::fabs(v);

    std::uint64_t n = 0;
    if (std::isfinite(v) && precision <= kFastPrecision && scaledRounded(magnitude, precision, n)) {
        // The common case, written in place: the length is known before the first digit.
        std::uint64_t whole = n / kPow10[precision];
        std::uint64_t fraction = n % kPow10[precision];
        int wholeDigits = 1;
        for (std::uint64_t rest = whole; rest >= 10; rest /= 10)
            ++wholeDigits;
        const int length = (negative ? 1 : 0) + wholeDigits + (precision > 0 ? precision + 1 : 0);
        for (int i = length; i < width; ++i)
            *out++ = ' ';
        char* const end = out + length;
        char* p = end;
        for (int i = 0; i < precision; ++i) {
            *--p = static_cast<char>('0' + fraction % 10);
            fraction /= 10;
        }
        if (precision > 0)
            *--p = '.';
        do {
            *--p = static_cast<char>('0' + whole % 10);
            whole /= 10;
        } while (whole != 0);
        if (negative)
            *--p = '-';
        return end;
    }

    char scratch[kMaxChars];
    char* const begin = scratch + 1;
    char* end;
    if (!std::isfinite(v)) {
        std::memcpy(begin, std::isnan(v) ? "nan" : "inf", 3);
        end = begin + 3;
    } else {
        end = std::to_chars(begin, scratch + sizeof scratch, magnitude, std::chars_format::fixed,
                            precision)
                  .ptr;
    }
    char* first = begin;
    if (negative)
        *--first = '-';
    return placeRightAligned(out, first, end, width);
}

void Append(std::string& out, double v, int precision, int width)
{
    char buffer[kMaxChars];
    out.append(buffer, Write(buffer, v, precision, width));
}

std::string Text(double v, int precision, int width)
{
    char buffer[kMaxChars];
    return std::string(buffer, Write(buffer, v, precision, width));
}

} // namespace fixedtext
