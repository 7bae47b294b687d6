// CP932 conversions through glibc's iconv.
#include "model/cp932text.h"

#include <iconv.h>

#include <cerrno>
#include <mutex>
#include <stdexcept>
#include <unordered_map>

namespace cp932 {
namespace {

// One iconv conversion; returns false when the input cannot be converted.
// With replaceInvalid the offending input byte is skipped and U+FFFD emitted instead.
bool convert(const char* to, const char* from, std::string_view in, std::string& out,
             bool replaceInvalid)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error("iconv cannot convert between CP932 and UTF-8");
    out.clear();
    out.reserve(in.size() * 3 / 2 + 8);
    char* inPtr = const_cast<char*>(in.data());
    size_t inLeft = in.size();
    char buf[4096];
    bool ok = true;
    while (inLeft > 0) {
        char* outPtr = buf;
        size_t outLeft = sizeof buf;
        size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(buf, static_cast<size_t>(outPtr - buf));
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG)
                continue;
            if (!replaceInvalid) {
                ok = false;
                break;
            }
            // EILSEQ or EINVAL (a lead byte at the end): replace one byte and go on.
            out.append("\xEF\xBF\xBD");
            ++inPtr;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return ok;
}

} // namespace

std::string toUtf8(std::string_view cp932)
{
    bool ascii = true;
    for (unsigned char c : cp932)
        if (c >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii)
        return std::string(cp932);
    std::string out;
    convert("UTF-8", "CP932", cp932, out, true);
    return out;
}

std::optional<std::string> fromUtf8(std::string_view utf8)
{
    bool ascii = true;
    for (unsigned char c : utf8)
        if (c >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii)
        return std::string(utf8);
    std::string out;
    if (!convert("CP932", "UTF-8", utf8, out, false))
        return std::nullopt;
    return out;
}

const std::string& lit(std::string_view utf8Literal)
{
    static std::mutex mutex;
    static std::unordered_map<std::string, std::string> cache;
    std::lock_guard lock(mutex);
    std::string key(utf8Literal);
    auto it = cache.find(key);
    if (it == cache.end()) {
        auto converted = fromUtf8(utf8Literal);
        if (!converted)
            throw std::logic_error("literal without a CP932 form: " + key);
        it = cache.emplace(std::move(key), std::move(*converted)).first;
    }
    return it->second; // node-based map: references stay valid
}

std::string cutToBytes(std::string_view text, std::size_t maxBytes)
{
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t len =
            (isLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
        if (i + len > maxBytes)
            break;
        i += len;
    }
    return std::string(text.substr(0, i));
}

} // namespace cp932
