// The condition block of a measurement record (CTestCondition), each field described once: its
// JSON key and kind, how to reach the member, and the row of the condition table that shows it.
// The JSON writer and reader of mxrtool and the customer tree page's condition table all walk
// this table, so a field is added or renamed in one place.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "model/measrecord.h"

namespace condfields {

// How the field is stored and written as JSON.
enum class Kind {
    Integer, // int32_t member, a JSON integer
    Number,  // double member, a JSON number
    Text,    // CP932 std::string member, a JSON string (UTF-8)
};

// Rows of the condition table, in the order the table lists them. None: the field has no row
// of its own (the upper bound of a criterion, shown in the row of its lower bound).
enum class Row : int {
    None = 0,
    CabKind = 1,
    Shindan = 2,
    SectionalArea = 3,
    Length = 4,
    Weather = 5,
    Temperature = 6,
    Humidity = 7,
    Remarks = 8,
    CurrentR = 9,
    CurrentS = 10,
    CurrentT = 11,
    Insulation = 12,
    SeikyokuCriterion = 13,
    JyakutenCriterion = 14,
    LastCurrentCriterion = 15,
};
inline constexpr int kRowCount = 15;

enum class Group { TestCondition, ShieldCurrent, Criteria };

// How the table edits a row.
enum class Editor {
    Text,       // free text, or a number checked against the row's range
    CodeChoice, // list of the CabKind texts; the code is stored
    TextChoice, // list of texts; the chosen text is stored
    Criterion,  // a button opening the criteria dialog (both bounds)
};

// Accepted numbers of a numeric row and how the table shows them.
struct FieldRange {
    double min;
    double max;
    bool optional = false; // an empty entry stores UNSET_VALUE
    int decimals = -1;     // decimals shown (-1: as many as the value has)
    int maxChars = 0;      // most characters shown, decimals dropped to fit (0: no limit)
};

struct ConditionField {
    std::string_view key; // JSON key, the member's name
    Kind kind;
    int32_t CTestCondition::*integer = nullptr; // set for Kind::Integer
    double CTestCondition::*number = nullptr;   // set for Kind::Number
    std::string CTestCondition::*text = nullptr; // set for Kind::Text
    Row row = Row::None;
    Group group = Group::TestCondition;
    std::string_view label{}; // UTF-8; CP932 through cp932::lit
    Editor editor = Editor::Text;
    std::optional<FieldRange> range{}; // numeric rows
    std::string_view choices{};      // UTF-8, entries separated by '|' (TextChoice)
    // The text the row shows (CP932).
    std::string (*show)(const CTestCondition&) = nullptr;
};

// Every field, in the order of the JSON object.
std::span<const ConditionField> Fields();
// The field a row edits (for criterion rows, the lower bound); nullptr for Row::None or an
// unknown id.
const ConditionField* FieldOfRow(Row row);
Row RowFromId(int id); // Row::None when id is not 1..kRowCount

// Group heading of the table (CP932): "1:試験条件", ...
std::string GroupLabel(Group g);
// The entries of a choice row (CP932), separated by '|'.
std::string Choices(const ConditionField& f);
// Stores an accepted entry of a row edited in place (not Criterion): a choice or text as it is,
// a CabKind text as its code, a number already read against the range.
void Store(const ConditionField& f, CTestCondition& c, const std::string& cp932Text,
           std::optional<double> number);

} // namespace condfields
