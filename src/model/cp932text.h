// CP932 (Shift-JIS) byte strings and their conversion to and from UTF-8.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace cp932 {

// True when byte b starts a double-byte character in CP932.
constexpr bool isLeadByte(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Converts CP932 bytes to UTF-8. Bytes that are not valid CP932 become U+FFFD;
// the result is for display only and is never written back.
std::string toUtf8(std::string_view cp932);

// Converts UTF-8 text to CP932. Returns nothing when some character has no CP932 form
// (or the input is not valid UTF-8): the caller refuses such text instead of changing it.
std::optional<std::string> fromUtf8(std::string_view utf8);

// Converts a UTF-8 literal of the program's own (known to have a CP932 form) and caches
// the result, so repeated use costs a hash look-up.
const std::string& lit(std::string_view utf8Literal);

// Cuts text to at most maxBytes bytes without splitting a double-byte character.
std::string cutToBytes(std::string_view cp932, std::size_t maxBytes);

} // namespace cp932
