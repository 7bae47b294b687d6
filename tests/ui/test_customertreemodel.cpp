// The customer tree page's logic: selection cascade, names at each level, measurement cell
// edits and the condition table, on a small tree.
#include <gtest/gtest.h>

#include "settings/appsettings.h"
#include "model/cp932text.h"
#include "samplerecords.h"
#include "ui/pages/customertreemodel.h"

using cp932::lit;
using namespace customertree;

namespace {

CMeasRecord rec(double kV, double trigger = 5.0)
{
    CMeasRecord r;
    r.TestVoltage = kV;
    r.TriggerLevel = trigger;
    r.StartTime = *OleDateTime::parse("2024/05/01 10:20:30");
    for (int i = 0; i < 5; ++i)
        r.Points.push_back(CMeasPoint{CDataValue(1.0 + i), 0.2 * i});
    r.UsedPoints = 5;
    return r;
}

// Customers "alpha", "beta"; alpha has cables "C1" (sets "S1" with 10 and 20 kV, "S2" empty)
// and "C2" (no sets).
CCustomerDB tree()
{
    return sample::editTree({rec(20.0), rec(10.0)});
}

struct MstEditTest : ::testing::Test {
    CCustomerDB db = tree();
    CAppSettings settings;
    CustomerTreeModel model{db, PageMode::Edit, settings};
};

} // namespace

TEST_F(MstEditTest, OpensOnFirstRowsAndCascades)
{
    EXPECT_EQ(model.CurrentSelection(), (DataSelection{"alpha", "C1", "S1", 0}));
    EXPECT_EQ(model.MeasCaption(), lit("測定データ一覧：  【 alpha－C1－S1 】"));
    model.SelectRow(LevelCable, 1); // C2: no sets
    EXPECT_EQ(model.CurrentSelection(), (DataSelection{"alpha", "C2", "", -1}));
    EXPECT_EQ(model.MeasCaption(), lit("測定データ一覧：  【 alpha－C2 】"));
    EXPECT_TRUE(model.ConditionRows().empty());
}

TEST_F(MstEditTest, SelectByNamesFallsBackToFirstRows)
{
    model.SelectByNames({"alpha", "C1", "S1", 1});
    EXPECT_EQ(model.CurrentSelection(), (DataSelection{"alpha", "C1", "S1", 1}));
    model.SelectByNames({"BETA", "x", "y", 3});
    EXPECT_EQ(model.CurrentSelection(), (DataSelection{"beta", "", "", -1}));
    model.SelectByNames({"gone", "C1", "S1", 1}); // missing customer: everything below row 0
    EXPECT_EQ(model.CurrentSelection(), (DataSelection{"alpha", "C1", "S1", 0}));
    model.SelectByNames({"alpha", "C1", "S1", 9}); // index beyond the set
    EXPECT_EQ(model.MeasRow(), 0);
}

TEST(MstEditEmpty, EmptyTreeOnlyAddsCustomers)
{
    CCustomerDB db;
    CAppSettings settings;
    CustomerTreeModel model(db, PageMode::Edit, settings);
    EXPECT_EQ(model.CurrentSelection(), (DataSelection{"", "", "", -1}));
    EXPECT_FALSE(model.Add(LevelCable, "x"));
    EXPECT_FALSE(model.Add(LevelMeasData, "x"));
    EXPECT_FALSE(model.Delete(LevelCustomer));
    EXPECT_FALSE(model.DeleteMeas());
    EXPECT_TRUE(model.Add(LevelCustomer, "new"));
    EXPECT_EQ(model.CurrentSelection().customer, "new");
}

TEST_F(MstEditTest, AddSelectsNewEntryAtSortedPlace)
{
    ASSERT_TRUE(model.Add(LevelCustomer, "aaa"));
    EXPECT_EQ(model.Row(LevelCustomer), 0);
    EXPECT_EQ(model.Row(LevelCable), -1);
    model.SelectByNames({"alpha", "C1", "", 0});
    ASSERT_TRUE(model.Add(LevelMeasData, "R0"));
    EXPECT_EQ(model.CurrentSelection(), (DataSelection{"alpha", "C1", "R0", -1}));
    EXPECT_FALSE(model.Add(LevelMeasData, "r0")) << "case-folded duplicate";
}

TEST_F(MstEditTest, DeleteKeepsRowOrTakesThePreviousOne)
{
    model.SelectRow(LevelCustomer, 1); // beta, the last
    ASSERT_TRUE(model.Delete(LevelCustomer));
    EXPECT_EQ(model.CurrentSelection().customer, "alpha");
    model.SelectRow(LevelCable, 0);
    ASSERT_TRUE(model.Delete(LevelCable)); // C1 with everything below it
    EXPECT_EQ(model.CurrentSelection(), (DataSelection{"alpha", "C2", "", -1}));
    EXPECT_EQ(db.RecordCount(), 0u);
}

TEST_F(MstEditTest, DeleteMeasurementRecomputesAndSelectsRowZeroAfterTheLast)
{
    model.SelectMeasRow(1);
    ASSERT_TRUE(model.DeleteMeas());
    EXPECT_EQ(model.MeasRow(), 0);
    EXPECT_EQ(model.SelectedSet()->RecordCount(), 1u);
    EXPECT_DOUBLE_EQ(model.SelectedSet()->RecordAt(0).TestVoltage, 10.0);
}

TEST_F(MstEditTest, RenameRules)
{
    const std::string forty(40, 'x');
    EXPECT_EQ(model.Rename(LevelCustomer, 0, forty), std::nullopt);
    EXPECT_EQ(model.Rename(LevelCustomer, 1, forty + "y"),
              lit("指定の需要家名は全角20（半角40）文字以内です"));
    EXPECT_EQ(model.Rename(LevelCable, 0, std::string(27, 'c')),
              lit("指定のケーブル名は全角13（半角26）文字以内です"));
    // beta sorts before the 40 x's at row 0 now; renaming it to its sibling's name is refused.
    EXPECT_EQ(model.Rename(LevelCustomer, 0, "X" + std::string(39, 'x')),
              lit("指定の需要家名称は既に存在しています\n") + "X" + std::string(39, 'x'));
}

TEST_F(MstEditTest, RenameInPlaceOrMovedKeepsChildren)
{
    // Same name with other case: stays in place.
    EXPECT_EQ(model.Rename(LevelCustomer, 0, "ALPHA"), std::nullopt);
    EXPECT_EQ(db.customers.At(0).name, "ALPHA");
    // Moves behind beta, keeps its cables and the lower selections.
    EXPECT_EQ(model.Rename(LevelCustomer, 0, "zeta"), std::nullopt);
    EXPECT_EQ(db.customers.At(1).name, "zeta");
    EXPECT_EQ(db.customers.At(1).cables.Count(), 2);
    EXPECT_EQ(model.CurrentSelection(), (DataSelection{"zeta", "C1", "S1", 0}));
}

TEST_F(MstEditTest, ConfiguredTitlesReplaceTheWholeDefault)
{
    settings.TitleCustomer = lit("顧客");
    EXPECT_EQ(model.Rename(LevelCustomer, 0, std::string(41, 'x')),
              lit("指定の顧客は全角20（半角40）文字以内です"));
    EXPECT_EQ(ColumnTitle(settings, LevelCustomer), lit("顧客"));
    EXPECT_EQ(SheetTitle(settings, PageMode::Edit), lit("顧客情報の編集"));
    EXPECT_EQ(SheetTitle(settings, PageMode::Display), lit("測定データの表示"));
}

TEST_F(MstEditTest, VoltageEditMovesRecordAndKeepsItSelected)
{
    model.SelectMeasRow(0); // 10 kV
    ASSERT_TRUE(model.EditMeasCell(0, 3, "30"));
    const CMeasData& set = *model.SelectedSet();
    EXPECT_DOUBLE_EQ(set.RecordAt(0).TestVoltage, 20.0);
    EXPECT_DOUBLE_EQ(set.RecordAt(1).TestVoltage, 30.0);
    EXPECT_EQ(model.MeasRow(), 1);
}

TEST_F(MstEditTest, MeasurementCellEdits)
{
    CMeasData& set = *model.SelectedSet();
    set.RecordAt(0).RecalcFinalAndTriggers(3, 0); // a final point chosen by the user
    ASSERT_TRUE(model.EditMeasCell(0, 0, "2023/01/02"));
    EXPECT_EQ(model.MeasCell(0, 0), "2023/01/02");
    EXPECT_EQ(model.MeasCell(0, 1), "10:20:30");
    ASSERT_TRUE(model.EditMeasCell(0, 1, "08:09:10"));
    EXPECT_EQ(model.MeasCell(0, 1), "08:09:10");
    EXPECT_FALSE(model.EditMeasCell(0, 0, "not a date")) << "the stored date must survive";
    EXPECT_EQ(model.MeasCell(0, 0), "2023/01/02");
    EXPECT_FALSE(model.EditMeasCell(0, 2, "anything"));
    ASSERT_TRUE(model.EditMeasCell(0, 4, "2.5"));
    EXPECT_DOUBLE_EQ(set.RecordAt(0).TriggerLevel, 2.5);
    EXPECT_EQ(set.RecordAt(0).UsedPoints, 3) << "the chosen final point stays";
    ASSERT_TRUE(model.EditMeasCell(0, 5, "---"));
    EXPECT_EQ(set.RecordAt(0).SeikyokuRatio, UNSET_VALUE);
    ASSERT_TRUE(model.EditMeasCell(0, 6, "1.5"));
    EXPECT_DOUBLE_EQ(set.RecordAt(0).JyakutenRatio, 1.5);
}

TEST_F(MstEditTest, ConditionEditAppliesToSetAndDefaults)
{
    const auto rows = model.ConditionRows();
    ASSERT_EQ(rows.size(), 15u);
    EXPECT_EQ(rows[0].value, lit("３相一括"));
    EXPECT_EQ(rows[0].choices, lit("３相一括|Ｒ相|Ｓ相|Ｔ相"));
    EXPECT_EQ(rows[12].editor, 13);

    struct Case {
        int row;
        const char* text;
    } cases[] = {{1, "Ｓ相"}, {2, "アース接地"}, {3, "3.2"}, {4, "120"},
                 {5, "雨"},   {9, "0.4"},        {12, ""}};
    for (const auto& c : cases)
        ASSERT_TRUE(model.EditCondition(c.row, lit(c.text))) << c.row;
    const CMeasData& set = *model.SelectedSet();
    for (const auto& r : set.Records()) {
        EXPECT_EQ(r.Condition.CabKind, CabKindS);
        EXPECT_EQ(r.Condition.Shindan, lit("アース接地"));
        EXPECT_DOUBLE_EQ(r.Condition.CabSectionalArea, 3.2);
        EXPECT_EQ(r.Condition.Weather, lit("雨"));
        EXPECT_EQ(r.Condition.ShisuZetuen, UNSET_VALUE);
    }
    const DefaultConditionTexts d = settings.DefaultConditions();
    EXPECT_EQ(d.CabKind, lit("Ｓ相"));
    EXPECT_EQ(d.Shindan, lit("アース接地"));
    EXPECT_EQ(d.CabSectionalArea, "3.2"); // "%.1lf"
    EXPECT_EQ(d.CabLength, "120.0");
    EXPECT_EQ(d.CurrentR, "0.4");
    EXPECT_EQ(d.ShisuZetuen, "");
    EXPECT_EQ(d.SeikyokuMin, "0.5");

    ASSERT_TRUE(model.EditCondition(1, "unknown"));
    EXPECT_EQ(set.RecordAt(1).Condition.CabKind, CabKindNone);
    EXPECT_EQ(model.ConditionRows()[0].value, "None");
}

TEST_F(MstEditTest, DisplayModeChangesNothing)
{
    const CCustomerDB before = db;
    CustomerTreeModel view(db, PageMode::Display, settings);
    EXPECT_FALSE(view.Add(LevelCustomer, "new"));
    EXPECT_FALSE(view.Delete(LevelCustomer));
    EXPECT_FALSE(view.DeleteMeas());
    EXPECT_FALSE(view.EditMeasCell(0, 3, "99"));
    EXPECT_FALSE(view.EditCondition(3, "9"));
    EXPECT_EQ(view.Rename(LevelCustomer, 0, "zz"), std::string());
    for (const auto& r : view.ConditionRows())
        EXPECT_EQ(r.editor, 18);
    EXPECT_EQ(db, before);
}

TEST_F(MstEditTest, NumbersOutsideTheirFieldOrNotPlainAreRefusedAndChangeNothing)
{
    struct Case {
        bool condition; // a condition row, else a measurement column
        int field;
        const char* text;
        bool accepted;
    } cases[] = {
        {false, 3, "12,5", false},
        {false, 3, "100", false},
        {false, 3, "-1", false},
        {false, 3, "abc", false},
        {false, 3, "１２", false},
        {false, 3, "", false},
        {false, 4, "1000", false},
        {false, 4, "999.9", true},
        {false, 3, " 15 ", true},
        {true, 7, "101", false},
        {true, 7, "12,5", false},
        {true, 3, "1e999", false},
        {true, 6, "-5", true},
        {true, 12, "---", true},
        {true, 12, "x", false},
        {true, 4, "250", true},
        // No more decimals than the field shows: the list shows 2 (voltage) and 1 (trigger),
        // the conditions 1, the insulation resistance up to 2 in five characters.
        {false, 4, "7.25", false},
        {false, 4, "7.20", true},
        {false, 3, "6.255", false},
        {false, 3, "6.25", true},
        {true, 3, "12.5", true},
        {true, 3, "12.55", false},
        {true, 6, "-0.25", false},
        {true, 12, "12.34", true},
        {true, 12, "123.45", false},
        {true, 12, "1000.5", false},
        {true, 12, "99999", true},
    };
    for (const Case& c : cases) {
        db = tree();
        model.SelectByNames({"alpha", "C1", "S1", 0});
        const CCustomerDB before = db;
        const std::string text = lit(c.text);
        const bool changed =
            c.condition ? model.EditCondition(c.field, text) : model.EditMeasCell(0, c.field, text);
        EXPECT_EQ(changed, c.accepted) << c.field << " " << c.text;
        const auto range = c.condition ? ConditionRange(c.field) : MeasCellRange(c.field);
        ASSERT_TRUE(range) << c.field;
        EXPECT_EQ(entry::readInRange(*range, text).has_value(), c.accepted) << c.text;
        if (!c.accepted) {
            EXPECT_EQ(db, before) << c.field << " " << c.text;
        }
    }
    EXPECT_EQ(entry::rangeMessage(-99.9, 99.9), "-99.9 から 99.9 までの数字を入力してください。");
    // The refusal names the decimals only when they were the fault.
    const NumberRange trigger = *MeasCellRange(4);
    EXPECT_EQ(entry::refusalMessage(trigger, "7.25"),
              "0 から 999.9 までの数字を入力してください。\n小数点以下は 1 桁までです。");
    EXPECT_EQ(entry::refusalMessage(trigger, "1000"), entry::rangeMessage(0, 999.9));
    EXPECT_EQ(entry::refusalMessage(trigger, "7,25"), entry::rangeMessage(0, 999.9));
    EXPECT_EQ(entry::refusalMessage(*ConditionRange(12), "1000.5"),
              "0 から 99999 までの数字を入力してください。\n小数点以下は 2 桁までです。\n"
              "全体で 5 文字までです。");
    EXPECT_EQ(entry::refusalMessage(NumberRange{0, 10, false, 0}, "2.5"),
              "0 から 10 までの数字を入力してください。\n小数点以下は入力できません。");
}

TEST_F(MstEditTest, AnEditorLeftAsItOpenedKeepsTheUnroundedValue)
{
    CMeasData& set = *model.SelectedSet();
    set.RecordAt(0).TriggerLevel = 5.04; // shown "5.0"
    set.RecordAt(0).Condition.CabLength = 12.34;
    const CCustomerDB before = db;
    const std::string defaultsBefore = settings.DefaultConditions().CabLength;
    EXPECT_FALSE(model.EditMeasCell(0, 4, model.MeasCell(0, 4)));
    EXPECT_FALSE(model.EditCondition(4, model.ConditionRows()[3].value));
    EXPECT_EQ(db, before);
    EXPECT_EQ(settings.DefaultConditions().CabLength, defaultsBefore);
}

TEST_F(MstEditTest, DeleteQuestionNamesWhatGoesWithTheEntry)
{
    EXPECT_EQ(model.DeleteContentsText(LevelCustomer),
              lit("ケーブル 2 件、測定データ 2 件、測定 2 件も削除されます"));
    EXPECT_EQ(model.DeleteContentsText(LevelCable),
              lit("測定データ 2 件、測定 2 件も削除されます"));
    EXPECT_EQ(model.DeleteContentsText(LevelMeasData), lit("測定 2 件も削除されます"));
    settings.TitleCable = lit("線路");
    EXPECT_EQ(model.DeleteContentsText(LevelCustomer),
              lit("線路 2 件、測定データ 2 件、測定 2 件も削除されます"));
    model.SelectRow(LevelCustomer, 1); // "beta": nothing below it
    EXPECT_EQ(model.DeleteContentsText(LevelCustomer), "");
}
