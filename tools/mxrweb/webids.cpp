// Stable ids of names and the parsing of indices in URLs.
#include "webids.h"

#include <sodium.h>

namespace web {

std::string NameId(std::string_view cp932Name)
{
    unsigned char hash[8];
    crypto_generichash(hash, sizeof hash, reinterpret_cast<const unsigned char*>(cp932Name.data()),
                       cp932Name.size(), nullptr, 0);
    static const char digits[] = "0123456789abcdef";
    std::string id;
    id.reserve(16);
    for (unsigned char b : hash) {
        id += digits[b >> 4];
        id += digits[b & 15];
    }
    return id;
}

std::optional<std::size_t> ParseIndex(std::string_view text, std::size_t limit)
{
    if (text.empty() || text.size() > 9 || (text.size() > 1 && text[0] == '0'))
        return std::nullopt;
    std::size_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        v = v * 10 + static_cast<std::size_t>(c - '0');
    }
    if (v >= limit)
        return std::nullopt;
    return v;
}

} // namespace web
