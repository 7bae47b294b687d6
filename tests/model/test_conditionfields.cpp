// The field table of the condition block: every member reached exactly once, every table row
// backed by one field, and the choice lists readable back.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "model/conditionfields.h"
#include "model/cp932text.h"

using namespace condfields;

TEST(ConditionFields, EachMemberOnceUnderItsOwnKey)
{
    // Write a distinct value through every field, then compare with the block built member by
    // member: a member missing from the table or two fields sharing a member shows here.
    CTestCondition c;
    int n = 0;
    std::set<std::string_view> keys;
    for (const ConditionField& f : Fields()) {
        EXPECT_TRUE(keys.insert(f.key).second) << f.key;
        ++n;
        switch (f.kind) {
        case Kind::Integer: c.*f.integer = 100 + n; break;
        case Kind::Number: c.*f.number = 100.5 + n; break;
        case Kind::Text: c.*f.text = std::string(f.key); break;
        }
    }
    CTestCondition want;
    want.CabKind = 101;
    want.CurrentR = 102.5;
    want.CurrentS = 103.5;
    want.CurrentT = 104.5;
    want.ShisuZetuen = 105.5;
    want.CabSectionalArea = 106.5;
    want.CabLength = 107.5;
    want.Weather = "Weather";
    want.Temperature = 109.5;
    want.Humidity = 110.5;
    want.SeikyokuMin = 111.5;
    want.SeikyokuMax = 112.5;
    want.JyakutenMin = 113.5;
    want.JyakutenMax = 114.5;
    want.LastCurrentMin = 115.5;
    want.LastCurrentMax = 116.5;
    want.Remarks = "Remarks";
    want.Shindan = "Shindan";
    EXPECT_EQ(c, want);
}

TEST(ConditionFields, EveryRowHasOneFieldThatCanShowAndEditIt)
{
    std::set<Row> seen;
    for (const ConditionField& f : Fields()) {
        if (f.row == Row::None)
            continue;
        EXPECT_TRUE(seen.insert(f.row).second) << f.key;
        EXPECT_EQ(FieldOfRow(f.row), &f);
        EXPECT_FALSE(f.label.empty()) << f.key;
        EXPECT_NE(f.show, nullptr) << f.key;
        // A number typed into the table needs a range to be read against.
        const bool typedNumber = f.kind == Kind::Number && f.editor == Editor::Text;
        EXPECT_EQ(typedNumber, f.range.has_value()) << f.key;
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kRowCount));
    for (int id : {0, -1, kRowCount + 1})
        EXPECT_EQ(FieldOfRow(RowFromId(id)), nullptr) << id;
}

TEST(ConditionFields, StoreWritesTheEditedMemberOnly)
{
    struct Case {
        Row row;
        std::string text;
        std::optional<double> number;
    };
    const std::string choice = cp932::lit("雨");
    for (const Case& t : {Case{Row::CabKind, CabKindText(CabKindS), {}},
                          Case{Row::Weather, choice, {}},
                          Case{Row::Length, "12.5", 12.5},
                          Case{Row::Insulation, "", UNSET_VALUE}}) {
        CTestCondition c, before;
        const ConditionField& f = *FieldOfRow(t.row);
        Store(f, c, t.text, t.number);
        EXPECT_EQ(f.show(c), t.row == Row::Insulation ? std::string() : t.text) << f.key;
        // Undo the one member: the rest is untouched.
        switch (f.kind) {
        case Kind::Integer: c.*f.integer = before.*f.integer; break;
        case Kind::Number: c.*f.number = before.*f.number; break;
        case Kind::Text: c.*f.text = before.*f.text; break;
        }
        EXPECT_EQ(c, before) << f.key;
    }
}

TEST(ConditionFields, CodeChoicesReadBackAsTheirCodes)
{
    const std::string list = Choices(*FieldOfRow(Row::CabKind));
    int32_t code = CabKindThreePhase;
    std::size_t from = 0;
    for (std::size_t bar; from <= list.size(); from = bar + 1, ++code) {
        bar = list.find('|', from);
        if (bar == std::string::npos)
            bar = list.size();
        EXPECT_EQ(CabKindFromText(list.substr(from, bar - from)), code);
    }
    EXPECT_EQ(code, CabKindT + 1);
}
