// Locale-independent number conversions.
#include "model/number.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <locale.h>

namespace {

// The C locale, created once; used with the *_l functions so that a German (or any other)
// LC_NUMERIC of the process never changes how numbers are read or written.
locale_t cLocale()
{
    static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
}

// Length of the decimal number at the start of s (after white space): sign, digits with an
// optional point, an optional exponent. 0 when there is none. Only this form is accepted, so
// "nan", "inf" or hexadecimal text from a settings or data file reads as 0.0, never as a
// value that would upset every comparison.
std::size_t decimalPrefixLength(std::string_view s)
{
    auto isDigit = [&](std::size_t i) { return i < s.size() && s[i] >= '0' && s[i] <= '9'; };
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    std::size_t digits = 0;
    while (isDigit(i))
        ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (isDigit(i))
            ++i, ++digits;
    }
    if (digits == 0)
        return 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            ++j;
        if (isDigit(j)) {
            while (isDigit(j))
                ++j;
            i = j;
        }
    }
    return i;
}

} // namespace

double mxrAtof(std::string_view text)
{
    std::size_t start = 0;
    // White space as the C locale knows it, whatever LC_CTYPE the process runs with.
    while (start < text.size() &&
           (text[start] == ' ' || (text[start] >= '\t' && text[start] <= '\r')))
        ++start;
    text.remove_prefix(start);
    const std::size_t len = decimalPrefixLength(text);
    if (len == 0)
        return 0.0;
    std::string s(text.substr(0, len)); // strtod needs a terminator
    return strtod_l(s.c_str(), nullptr, cLocale());
}

double optionalNumber(std::string_view text)
{
    if (text.empty() || text == "---")
        return UNSET_VALUE;
    return mxrAtof(text);
}

std::string formatC(const char* format, ...)
{
    locale_t old = uselocale(cLocale());
    va_list args;
    va_start(args, format);
    char small[256];
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    std::string out;
    if (n >= 0 && static_cast<size_t>(n) < sizeof small) {
        out.assign(small, static_cast<size_t>(n));
    } else if (n >= 0) {
        out.resize(static_cast<size_t>(n) + 1);
        std::vsnprintf(out.data(), out.size(), format, args);
        out.resize(static_cast<size_t>(n));
    }
    va_end(args);
    uselocale(old);
    return out;
}
