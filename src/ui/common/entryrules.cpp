// Name limits, the sibling search and strict number reading of the dialog fields.
#include "ui/common/entryrules.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

#include "model/cp932text.h"
#include "model/customerdb.h"
#include "model/fixedtext.h"
#include "model/number.h"

namespace entry {

namespace {

std::string_view trimmed(std::string_view text)
{
    const auto space = [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
    };
    while (!text.empty() && space(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && space(text.back()))
        text.remove_suffix(1);
    return text;
}

// Drops one leading sign; from_chars takes a minus only, and never a plus.
bool takeSign(std::string_view& text)
{
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    return negative;
}

// Bytes of the UTF-8 character starting at `at` (1 for a stray continuation byte, never past
// the end).
std::size_t utf8CharLength(std::string_view s, std::size_t at)
{
    const auto b = static_cast<unsigned char>(s[at]);
    std::size_t len = b < 0x80           ? 1
                      : (b >> 5) == 0x6  ? 2
                      : (b >> 4) == 0xE  ? 3
                      : (b >> 3) == 0x1E ? 4
                                         : 1;
    if (at + len > s.size())
        len = s.size() - at;
    for (std::size_t i = 1; i < len; ++i)
        if ((static_cast<unsigned char>(s[at + i]) & 0xC0) != 0x80)
            return i;
    return len;
}

} // namespace

int nameLimit(int kind)
{
    return kind == KindCustomer ? kCustomerNameLimit
           : kind == KindCable  ? kCableNameLimit
                                : kMeasDataNameLimit;
}

std::size_t utf8PrefixFitting(std::string_view utf8, int limit)
{
    // A CP932 character never takes more bytes than its UTF-8 form.
    if (limit < 0)
        return 0;
    if (utf8.size() <= static_cast<std::size_t>(limit))
        return utf8.size();
    std::size_t at = 0;
    std::size_t bytes = 0;
    while (at < utf8.size()) {
        const std::size_t len = utf8CharLength(utf8, at);
        const auto converted = cp932::fromUtf8(utf8.substr(at, len));
        bytes += converted ? converted->size() : 2;
        if (bytes > static_cast<std::size_t>(limit))
            break;
        at += len;
    }
    return at;
}

std::vector<std::string> charsWithoutCp932(std::string_view utf8)
{
    std::vector<std::string> found;
    for (std::size_t at = 0; at < utf8.size();) {
        const std::size_t len = utf8CharLength(utf8, at);
        const std::string ch(utf8.substr(at, len));
        if (!cp932::fromUtf8(ch) && std::find(found.begin(), found.end(), ch) == found.end())
            found.push_back(ch);
        at += len;
    }
    return found;
}

bool siblingExists(const CCustomerDB& tree, int kind, int customer, int cable,
                   std::string_view cp932Name)
{
    if (kind == KindCustomer)
        return tree.customers.Find(cp932Name) >= 0;
    if (customer < 0 || customer >= tree.customers.Count())
        return false;
    const CCustomer& c = tree.customers.At(customer);
    if (kind == KindCable)
        return c.cables.Find(cp932Name) >= 0;
    if (cable < 0 || cable >= c.cables.Count())
        return false;
    return c.cables.At(cable).sets.Find(cp932Name) >= 0;
}

std::optional<double> parseDecimal(std::string_view text)
{
    text = trimmed(text);
    const bool negative = takeSign(text);
    // A second sign, a hexadecimal form or a word is not a number the user meant.
    if (text.empty() ||
        !(std::isdigit(static_cast<unsigned char>(text.front())) || text.front() == '.'))
        return std::nullopt;
    double v = 0.0;
    const auto [end, ec] =
        std::from_chars(text.data(), text.data() + text.size(), v, std::chars_format::general);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v))
        return std::nullopt;
    // "-0" is zero, not a negative zero that would later print as "-0.0".
    return negative && v != 0.0 ? -v : v;
}

std::optional<int> parseInteger(std::string_view text)
{
    text = trimmed(text);
    const bool negative = takeSign(text);
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text.front())))
        return std::nullopt;
    long long v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    if (negative)
        v = -v;
    if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(v);
}

namespace {

// The number of the text when it is one within the range, whatever its decimals.
std::optional<double> readRangeOnly(const NumberRange& range, std::string_view text)
{
    const std::optional<double> v = parseDecimal(text);
    if (!v || *v < range.min || *v > range.max)
        return std::nullopt;
    return v;
}

bool isUnset(const NumberRange& range, std::string_view text)
{
    const std::string_view t = trimmed(text);
    return range.optional && (t.empty() || t == "---");
}

} // namespace

bool showsAsTyped(const NumberRange& range, double v)
{
    if (range.decimals < 0)
        return true;
    std::string shown = fixedtext::Text(v, range.decimals);
    if (parseDecimal(shown) != v)
        return false;
    if (range.maxChars <= 0)
        return true;
    if (shown.find('.') != std::string::npos) {
        while (shown.back() == '0')
            shown.pop_back();
        if (shown.back() == '.')
            shown.pop_back();
    }
    return static_cast<int>(shown.size()) <= range.maxChars;
}

std::optional<double> readInRange(const NumberRange& range, std::string_view text)
{
    if (isUnset(range, text))
        return UNSET_VALUE;
    const std::optional<double> v = readRangeOnly(range, text);
    if (!v || !showsAsTyped(range, *v))
        return std::nullopt;
    return v;
}

std::string rangeMessage(double min, double max)
{
    return formatC("%.15g", min) + " から " + formatC("%.15g", max) +
           " までの数字を入力してください。";
}

std::string refusalMessage(const NumberRange& range, std::string_view text)
{
    std::string message = rangeMessage(range.min, range.max);
    const std::optional<double> v = readRangeOnly(range, text);
    if (isUnset(range, text) || !v || showsAsTyped(range, *v))
        return message;
    if (range.decimals == 0)
        message += "\n小数点以下は入力できません。";
    else
        message += formatC("\n小数点以下は %d 桁までです。", range.decimals);
    if (range.maxChars > 0)
        message += formatC("\n全体で %d 文字までです。", range.maxChars);
    return message;
}

std::string decimalFieldText(double v)
{
    // Limits are usually set to one decimal, as the criterion texts show them.
    std::string text = formatC("%.1f", v);
    if (parseDecimal(text) == v)
        return text;
    return formatC("%.15g", v);
}

} // namespace entry
