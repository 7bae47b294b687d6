// One field of a CSV line: written as it is, or in double quotes with each quote doubled when
// it holds a comma, a quote or a line break. For UTF-8 and for CP932 alike: the trail bytes of
// CP932 double-byte characters start at 0x40, so they never take the values scanned for.
#pragma once

#include <string>
#include <string_view>

namespace csvfield {

inline bool NeedsQuotes(std::string_view field)
{
    return field.find_first_of(",\"\r\n") != std::string_view::npos;
}

inline void Append(std::string& out, std::string_view field)
{
    if (!NeedsQuotes(field)) {
        out += field;
        return;
    }
    out += '"';
    for (char c : field) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

inline std::string Quoted(std::string_view field)
{
    std::string out;
    Append(out, field);
    return out;
}

} // namespace csvfield
