// What the journal records of a change: the items between two trees.
#include <gtest/gtest.h>

#include "commands/treecommands.h"
#include "samplerecords.h"
#include "workspace/treediff.h"

namespace {

CMeasRecord record(double voltage, int points = 5)
{
    CMeasRecord r;
    r.StartTime = *OleDateTime::fromCalendar({2026, 3, 4, 10, 0, 0});
    r.TestVoltage = voltage;
    r.DataNo = static_cast<int32_t>(voltage);
    sample::addPoints(r, points, [](int i) { return 1.0 + i; });
    return r;
}

std::vector<ws::JournalItem> run(CCustomerDB& tree, const cmd::Command& command)
{
    const CCustomerDB before = tree;
    cmd::ChangeList changes;
    EXPECT_TRUE(cmd::Run(tree, command, &changes).done());
    return ws::DiffTrees(before, tree, changes.changes);
}

TEST(TreeDiff, RegistrationListsTheNewRecordsUnderTheirSet)
{
    CCustomerDB tree = sample::editTree({record(10)});
    cmd::RegisterReceived reg{{"alpha", "C1", "S1"}, {record(12), record(14)}, {}, false};
    const auto items = run(tree, reg);
    ASSERT_EQ(items.size(), 2u);
    for (const ws::JournalItem& i : items) {
        EXPECT_EQ(i.change, ws::ItemChange::Added);
        EXPECT_EQ(i.level, ws::ItemLevel::Record);
        EXPECT_EQ(i.set, "S1");
        EXPECT_EQ(i.contentKey.size(), 64u);
        EXPECT_NE(i.stateHash, 0u);
    }
    EXPECT_EQ(ws::StepName({cmd::Change{cmd::Kind::RegisterReceived, cmd::Level::Set,
                                        {"alpha", "C1", "S1"}, {}, {}, -1, 2}}),
              "測定データ 2 件の登録");
}

TEST(TreeDiff, ConditionEditNamesTheFieldWithBothValues)
{
    CCustomerDB tree = sample::editTree({record(10), record(12)});
    CTestCondition c = tree.customers.At(0).cables.At(0).sets.At(0).RecordAt(0).Condition;
    c.Weather = "Rain";
    const auto items = run(tree, cmd::EditCondition{{"alpha", "C1", "S1"}, 5, c});
    ASSERT_EQ(items.size(), 2u);
    for (const ws::JournalItem& i : items) {
        EXPECT_EQ(i.change, ws::ItemChange::Changed);
        EXPECT_TRUE(i.newKey.empty()); // conditions are not part of a record's identity
        ASSERT_EQ(i.fields.size(), 1u);
        EXPECT_EQ(i.fields[0].after, "Rain");
    }
}

TEST(TreeDiff, VoltageEditKeepsOldAndNewKey)
{
    CCustomerDB tree = sample::editTree({record(10)});
    CMeasRecord edited = tree.customers.At(0).cables.At(0).sets.At(0).RecordAt(0);
    const std::string oldKey = ws::KeyText(edited);
    edited.TestVoltage = 11;
    const auto items = run(tree, cmd::EditMeasurement{{"alpha", "C1", "S1"}, 0,
                                                      cmd::MeasField::TestVoltage, edited});
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].change, ws::ItemChange::Changed);
    EXPECT_EQ(items[0].contentKey, oldKey);
    EXPECT_EQ(items[0].newKey, ws::KeyText(edited));
    ASSERT_FALSE(items[0].fields.empty());
    EXPECT_EQ(items[0].fields[0].field, "試験電圧(kV)");
    EXPECT_EQ(items[0].fields[0].before, "10");
    EXPECT_EQ(items[0].fields[0].after, "11");
}

TEST(TreeDiff, RenameIsOneItemAndRemovalListsEveryRecord)
{
    CCustomerDB tree = sample::editTree({record(10), record(12)});
    auto items = run(tree, cmd::RenameName{cmd::Level::Customer, {"alpha"}, "gamma"});
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].change, ws::ItemChange::Renamed);
    EXPECT_EQ(items[0].customer, "alpha");
    EXPECT_EQ(items[0].newName, "gamma");

    // The cable, each of its sets and every record in them.
    items = run(tree, cmd::RemoveName{cmd::Level::Cable, {"gamma", "C1"}});
    ASSERT_EQ(items.size(), 5u);
    EXPECT_EQ(items[0].level, ws::ItemLevel::Cable);
    EXPECT_EQ(items[0].count, 2u);
    EXPECT_EQ(items[1].level, ws::ItemLevel::Set);
    EXPECT_EQ(items[2].change, ws::ItemChange::Removed);
    EXPECT_EQ(items[2].level, ws::ItemLevel::Record);
    EXPECT_EQ(items[2].customer, "gamma");
}

TEST(TreeDiff, OnlyTheNamedCustomersAreCompared)
{
    CCustomerDB before = sample::editTree({record(10)});
    CCustomerDB after = before;
    // A difference in "beta" that no change names is not looked for.
    sample::setAt(after, "beta", "K", "S").InsertRecord(record(20));
    sample::setAt(after, "alpha", "C1", "S1").InsertRecord(record(30));
    const std::vector<cmd::Change> changes{
        {cmd::Kind::RegisterReceived, cmd::Level::Set, {"alpha", "C1", "S1"}, {}, {}, -1, 1}};
    EXPECT_EQ(ws::DiffTrees(before, after, changes).size(), 1u);
    // The whole trees: cable K and set S added in "beta", and the two records.
    EXPECT_EQ(ws::DiffTrees(before, after).size(), 4u);
}

} // namespace
