// The checks behind the name entry and settings dialogs, kept free of Qt: name byte limits
// counted in CP932 bytes, the sibling search of a new name, and the strict reading of the
// numbers typed into dialog fields.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CCustomerDB;

namespace entry {

// The three named levels a new name is asked for.
enum NameKind : int { KindCustomer = 0, KindCable = 1, KindMeasData = 2 };

// Byte limits of names (CP932 bytes, a full-width character counts two).
inline constexpr int kCustomerNameLimit = 40;
inline constexpr int kCableNameLimit = 26;
inline constexpr int kMeasDataNameLimit = 26;

// 40 for customers, 26 for cables and measurement data sets.
int nameLimit(int kind);

// The length in bytes of the longest run of whole leading characters of UTF-8 text whose
// CP932 form takes at most limit bytes: a text typed past the limit is cut back to it, one
// byte less when the limit would split a double-byte character. A character without a CP932
// form counts two bytes (the text is refused later anyway).
std::size_t utf8PrefixFitting(std::string_view utf8, int limit);

// The characters of UTF-8 text that have no CP932 form, each once, in order of appearance.
std::vector<std::string> charsWithoutCp932(std::string_view utf8);

// True when the name compares equal (ASCII case folded) to a sibling of a new entry of the
// kind: a customer, a cable of the customer at position `customer`, or a set of the cable at
// position `cable` of that customer. Positions outside the tree have no siblings.
bool siblingExists(const CCustomerDB& tree, int kind, int customer, int cable,
                   std::string_view cp932Name);

// A decimal number as a dialog field takes it: the whole text must be one number, with white
// space allowed around it and an optional sign; nothing for empty text, trailing characters,
// infinities and NaN.
std::optional<double> parseDecimal(std::string_view text);
// A whole number under the same rules; nothing for fractions and values beyond the int range.
std::optional<int> parseInteger(std::string_view text);

// The values a number field takes. An optional field also takes "" and "---" (no value).
// Every number field takes only values it shows as typed: a value with more decimals than
// the field shows (7.25 in a field that shows one decimal) is refused, never stored beside a
// rounded text that hides it.
struct NumberRange {
    double min;
    double max;
    bool optional = false;
    // Decimals the field shows (-1: as many as the value has).
    int decimals = -1;
    // The most characters the field shows, decimals dropped to fit (0: no limit).
    int maxChars = 0;
};
// True when the field shows v as a text that reads back as v: no more decimals than
// range.decimals, and within range.maxChars once trailing zeros are dropped.
bool showsAsTyped(const NumberRange& range, double v);
// The value of a field's text under the range (UNSET_VALUE for an optional field left empty
// or "---"), or nothing when the text is not one plain number within it ("12,5", "１２") or
// has more decimals than the field shows.
std::optional<double> readInRange(const NumberRange& range, std::string_view text);

// The standard message for a number field whose text is not a number within [min, max]
// (UTF-8): "0 から 9.9 までの数字を入力してください。", the ends as "%.15g" writes them.
std::string rangeMessage(double min, double max);
// The message for a text readInRange refused: the standard message, followed by the digits
// the field takes when the text was a number within the range with too many decimals
// ("小数点以下は 1 桁までです。").
std::string refusalMessage(const NumberRange& range, std::string_view text);

// The text a field shows for a double: one decimal when that reads back as the same value
// ("0.5", "10.0"), otherwise up to 15 significant digits ("0.55").
std::string decimalFieldText(double v);

} // namespace entry
