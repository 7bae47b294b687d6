// Locale-independent number conversions.
#include "model/number.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <locale.h>

namespace {

// The C locale, created once; used with the *_l functions so that a German (or any other)
// LC_NUMERIC of the process never changes how numbers are read or written.
locale_t cLocale()
{
    static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
}

} // namespace

double mxrAtof(std::string_view text)
{
    std::string s(text); // strtod needs a terminator
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
