// The table of the condition block's fields.
#include "model/conditionfields.h"

#include <array>

#include "model/cp932text.h"
#include "model/format.h"

namespace condfields {
namespace {

using C = CTestCondition;

std::string numberText(double v)
{
    return mxrfmt::NumberText(v);
}

// The table, the report and the default conditions show the numbers with one decimal; the
// insulation resistance with up to two in at most five characters.
const std::array<ConditionField, 18> kFields{{
    {.key = "CabKind", .kind = Kind::Integer, .integer = &C::CabKind, .row = Row::CabKind,
     .label = "条件", .editor = Editor::CodeChoice,
     .show = [](const C& c) { return mxrfmt::ConditionText(c); }},
    {.key = "CurrentR", .kind = Kind::Number, .number = &C::CurrentR, .row = Row::CurrentR,
     .group = Group::ShieldCurrent, .label = "Ｒ相(mA)", .range = FieldRange{0.0, 9999.9, false, 1},
     .show = [](const C& c) { return numberText(c.CurrentR); }},
    {.key = "CurrentS", .kind = Kind::Number, .number = &C::CurrentS, .row = Row::CurrentS,
     .group = Group::ShieldCurrent, .label = "Ｓ相(mA)", .range = FieldRange{0.0, 9999.9, false, 1},
     .show = [](const C& c) { return numberText(c.CurrentS); }},
    {.key = "CurrentT", .kind = Kind::Number, .number = &C::CurrentT, .row = Row::CurrentT,
     .group = Group::ShieldCurrent, .label = "Ｔ相(mA)", .range = FieldRange{0.0, 9999.9, false, 1},
     .show = [](const C& c) { return numberText(c.CurrentT); }},
    {.key = "ShisuZetuen", .kind = Kind::Number, .number = &C::ShisuZetuen,
     .row = Row::Insulation, .group = Group::ShieldCurrent, .label = "絶縁抵抗(MΩ)",
     .range = FieldRange{0.0, 99999.0, true, 2, 5},
     .show = [](const C& c) { return mxrfmt::InsulationText(c.ShisuZetuen); }},
    {.key = "CabSectionalArea", .kind = Kind::Number, .number = &C::CabSectionalArea,
     .row = Row::SectionalArea, .label = "断面(sq)", .range = FieldRange{0.0, 9999.9, false, 1},
     .show = [](const C& c) { return numberText(c.CabSectionalArea); }},
    {.key = "CabLength", .kind = Kind::Number, .number = &C::CabLength, .row = Row::Length,
     .label = "長さ(m)", .range = FieldRange{0.0, 99999.9, false, 1},
     .show = [](const C& c) { return numberText(c.CabLength); }},
    {.key = "Weather", .kind = Kind::Text, .text = &C::Weather, .row = Row::Weather,
     .label = "天候", .editor = Editor::TextChoice, .choices = "晴れ|曇り|雨|雷雨|強風",
     .show = [](const C& c) { return c.Weather; }},
    {.key = "Temperature", .kind = Kind::Number, .number = &C::Temperature,
     .row = Row::Temperature, .label = "温度(℃)", .range = FieldRange{-99.9, 99.9, false, 1},
     .show = [](const C& c) { return numberText(c.Temperature); }},
    {.key = "Humidity", .kind = Kind::Number, .number = &C::Humidity, .row = Row::Humidity,
     .label = "湿度(%)", .range = FieldRange{0.0, 100.0, false, 1},
     .show = [](const C& c) { return numberText(c.Humidity); }},
    {.key = "SeikyokuMin", .kind = Kind::Number, .number = &C::SeikyokuMin,
     .row = Row::SeikyokuCriterion, .group = Group::Criteria, .label = "成極比",
     .editor = Editor::Criterion,
     .show = [](const C& c) { return mxrfmt::SeikyokuCriterionText(c); }},
    {.key = "SeikyokuMax", .kind = Kind::Number, .number = &C::SeikyokuMax},
    {.key = "JyakutenMin", .kind = Kind::Number, .number = &C::JyakutenMin,
     .row = Row::JyakutenCriterion, .group = Group::Criteria, .label = "弱点比",
     .editor = Editor::Criterion,
     .show = [](const C& c) { return mxrfmt::JyakutenCriterionText(c); }},
    {.key = "JyakutenMax", .kind = Kind::Number, .number = &C::JyakutenMax},
    {.key = "LastCurrentMin", .kind = Kind::Number, .number = &C::LastCurrentMin,
     .row = Row::LastCurrentCriterion, .group = Group::Criteria, .label = "最終値",
     .editor = Editor::Criterion,
     .show = [](const C& c) { return mxrfmt::LastCurrentCriterionText(c); }},
    {.key = "LastCurrentMax", .kind = Kind::Number, .number = &C::LastCurrentMax},
    {.key = "Remarks", .kind = Kind::Text, .text = &C::Remarks, .row = Row::Remarks,
     .label = "備考", .show = [](const C& c) { return c.Remarks; }},
    {.key = "Shindan", .kind = Kind::Text, .text = &C::Shindan, .row = Row::Shindan,
     .label = "診断方法", .editor = Editor::TextChoice,
     .choices = "ガード接地|アース接地|シールド電流検出",
     .show = [](const C& c) { return c.Shindan; }},
}};

// Row id -> index into kFields, built once.
const std::array<const ConditionField*, kRowCount + 1>& byRow()
{
    static const auto table = [] {
        std::array<const ConditionField*, kRowCount + 1> t{};
        for (const ConditionField& f : kFields)
            if (f.row != Row::None)
                t[static_cast<std::size_t>(f.row)] = &f;
        return t;
    }();
    return table;
}

} // namespace

std::span<const ConditionField> Fields()
{
    return kFields;
}

Row RowFromId(int id)
{
    return id >= 1 && id <= kRowCount ? static_cast<Row>(id) : Row::None;
}

const ConditionField* FieldOfRow(Row row)
{
    const int id = static_cast<int>(row);
    return id >= 1 && id <= kRowCount ? byRow()[static_cast<std::size_t>(id)] : nullptr;
}

std::string GroupLabel(Group g)
{
    switch (g) {
    case Group::TestCondition: return cp932::lit("1:試験条件");
    case Group::ShieldCurrent: return cp932::lit("2:シールド漏れ電流");
    default: return cp932::lit("3:判定基準");
    }
}

std::string Choices(const ConditionField& f)
{
    if (f.editor == Editor::CodeChoice)
        return CabKindText(CabKindThreePhase) + "|" + CabKindText(CabKindR) + "|" +
               CabKindText(CabKindS) + "|" + CabKindText(CabKindT);
    return f.choices.empty() ? std::string() : cp932::lit(f.choices);
}

void Store(const ConditionField& f, CTestCondition& c, const std::string& cp932Text,
           std::optional<double> number)
{
    if (f.editor == Editor::CodeChoice)
        c.*f.integer = CabKindFromText(cp932Text);
    else if (f.kind == Kind::Text)
        c.*f.text = cp932Text;
    else if (f.kind == Kind::Number && number)
        c.*f.number = *number;
}

} // namespace condfields
