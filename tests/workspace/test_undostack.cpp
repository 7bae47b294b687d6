// The undo stack: actions undone and redone give the exact trees; only the touched parts are
// put back; a part changed since, or an approved set, stops an undo; the memory bound.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/treecommands.h"
#include "model/cp932text.h"
#include "samplerecords.h"
#include "workspace/undostack.h"

namespace {

using cmd::Level;
using ws::UndoStatus;
using Pushed = ws::UndoStack::PushResult;

CMeasRecord rec(double kV, int second = 0, int points = 400)
{
    CMeasRecord r;
    r.TestVoltage = kV;
    r.TriggerLevel = 5.0;
    r.StartTime = *OleDateTime::parse("2024/05/01 10:20:" + std::to_string(10 + second));
    sample::addPoints(r, points, [](int i) { return 10.0 - 0.02 * i; });
    return r;
}

// Customers "alpha" and "beta"; alpha/C1 has set "S1" (10 and 20 kV) and empty "S2"; alpha/C2
// has no sets; beta/B1/T1 holds one record.
CCustomerDB sampleTree()
{
    CCustomerDB db = sample::editTree({rec(20.0, 1), rec(10.0, 0)});
    RecalcRatios(sample::setAt(db, "alpha", "C1", "S1"));
    sample::setAt(db, "beta", "B1", "T1").InsertRecord(rec(6.6, 3));
    return db;
}

const cmd::TreePath kS1{"alpha", "C1", "S1"};
const cmd::TreePath kT1{"beta", "B1", "T1"};

struct Recorder : cmd::ChangeObserver {
    std::vector<cmd::Change> changes;
    void TreeChanged(const CCustomerDB&, const cmd::Change& change) override
    {
        changes.push_back(change);
    }
};

// Runs the commands of one action on the tree and records it as one step, with the entries
// its changes name (or, with wholeTree, comparing everything).
std::vector<cmd::Change> act(ws::UndoStack& stack, CCustomerDB& tree,
                             const std::vector<cmd::Command>& commands, const std::string& name,
                             bool wholeTree = false)
{
    const CCustomerDB before = tree;
    Recorder seen;
    for (const cmd::Command& c : commands)
        EXPECT_TRUE(cmd::Run(tree, c, &seen).done()) << name;
    const ws::Touched touched = wholeTree ? std::nullopt : ws::TouchedBy(seen.changes);
    EXPECT_EQ(stack.Push(before, tree, touched, name), Pushed::Recorded) << name;
    return seen.changes;
}

CTestCondition wetCondition()
{
    CTestCondition c;
    c.Weather = cp932::lit("雨");
    c.Humidity = 90.0;
    return c;
}

} // namespace

// Each kind of action, undone, gives the tree before it exactly; redone, the tree after it.
TEST(UndoStack, UndoAndRedoGiveTheExactTrees)
{
    struct Case {
        const char* what;
        std::vector<cmd::Command> commands;
    };
    CMeasRecord edited = sampleTree().customers.At(0).cables.At(0).sets.At(0).RecordAt(0);
    edited.TestVoltage = 30.0; // moves the record to the end of the set
    const std::vector<Case> cases = {
        {"add customer", {cmd::AddName{Level::Customer, {}, "gamma"}}},
        {"add cable", {cmd::AddName{Level::Cable, {"beta"}, "B0"}}},
        {"add set", {cmd::AddName{Level::Set, {"alpha", "C1"}, "S0"}}},
        {"rename customer past another", {cmd::RenameName{Level::Customer, {"alpha"}, "zeta"}}},
        {"rename cable", {cmd::RenameName{Level::Cable, {"alpha", "C1"}, "C3"}}},
        {"rename set, case only", {cmd::RenameName{Level::Set, kS1, "s1"}}},
        {"remove customer with data", {cmd::RemoveName{Level::Customer, {"alpha"}}}},
        {"remove set", {cmd::RemoveName{Level::Set, kT1}}},
        {"remove measurement", {cmd::RemoveMeasurement{kS1, 0}}},
        {"edit voltage", {cmd::EditMeasurement{kS1, 0, cmd::MeasField::TestVoltage, edited}}},
        {"edit condition", {cmd::EditCondition{kS1, 7, wetCondition()}}},
        {"register", {cmd::RegisterReceived{kS1, {rec(15.0, 5), rec(5.0, 6)}, {}, false}}},
        {"recalculate all", {cmd::RecalculateAll{30}}},
        {"a sheet: new customer, cable, set and registration",
         {cmd::AddName{Level::Customer, {}, "delta"}, cmd::AddName{Level::Cable, {"delta"}, "D1"},
          cmd::AddName{Level::Set, {"delta", "D1"}, "X"},
          cmd::RegisterReceived{{"delta", "D1", "X"}, {rec(10.0)}, {}, false}}},
        {"a sheet: rename a customer, then edit a set below its new name",
         {cmd::RenameName{Level::Customer, {"alpha"}, "omega"},
          cmd::EditCondition{{"omega", "C1", "S1"}, 7, wetCondition()}}},
        {"a sheet: rename a cable there and back",
         {cmd::RenameName{Level::Cable, {"alpha", "C2"}, "C9"},
          cmd::RenameName{Level::Cable, {"alpha", "C9"}, "C2"}, cmd::RemoveMeasurement{kT1, 0}}},
    };
    for (const bool wholeTree : {false, true})
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (wholeTree ? ", whole tree compared" : ""));
            ws::UndoStack stack;
            CCustomerDB tree = sampleTree();
            const CCustomerDB before = tree;
            act(stack, tree, c.commands, c.what, wholeTree);
            const CCustomerDB after = tree;

            ASSERT_TRUE(stack.CanUndo());
            EXPECT_EQ(stack.UndoName(), c.what);
            const ws::UndoOutcome undone = stack.Undo(tree);
            ASSERT_EQ(undone.status, UndoStatus::Done) << undone.where;
            EXPECT_EQ(undone.stepName, c.what);
            EXPECT_FALSE(undone.changes.empty());
            EXPECT_TRUE(tree == before);
            EXPECT_FALSE(stack.CanUndo());
            EXPECT_EQ(stack.RedoName(), c.what);

            ASSERT_TRUE(stack.Redo(tree).done());
            EXPECT_TRUE(tree == after);
            EXPECT_EQ(stack.UndoName(), c.what);
            EXPECT_FALSE(stack.CanRedo());
        }
}

// Steps go back in the reverse order and forward again; a new action ends what could be
// redone.
TEST(UndoStack, StepsUndoInReverseAndANewActionDropsTheRedoSide)
{
    ws::UndoStack stack;
    CCustomerDB tree = sampleTree();
    std::vector<CCustomerDB> states{tree};
    act(stack, tree, {cmd::RegisterReceived{kS1, {rec(15.0, 5)}, {}, false}}, "one");
    states.push_back(tree);
    act(stack, tree, {cmd::RenameName{Level::Customer, {"alpha"}, "zeta"}}, "two");
    states.push_back(tree);
    act(stack, tree, {cmd::EditCondition{{"zeta", "C1", "S1"}, 7, wetCondition()}}, "three");
    states.push_back(tree);

    for (int i = 2; i >= 0; --i) {
        ASSERT_TRUE(stack.Undo(tree).done());
        EXPECT_TRUE(tree == states[static_cast<std::size_t>(i)]) << i;
    }
    EXPECT_EQ(stack.Undo(tree).status, UndoStatus::Empty);
    for (int i = 1; i <= 2; ++i) {
        ASSERT_TRUE(stack.Redo(tree).done());
        EXPECT_TRUE(tree == states[static_cast<std::size_t>(i)]) << i;
    }
    ASSERT_EQ(stack.RedoName(), "three");
    act(stack, tree, {cmd::AddName{Level::Customer, {}, "new"}}, "four");
    EXPECT_FALSE(stack.CanRedo());
    EXPECT_EQ(stack.UndoCount(), 3u);
}

// An undo puts back only what its step touched: a later change elsewhere that did not pass
// the stack stays.
TEST(UndoStack, UndoKeepsALaterChangeToAnotherCustomer)
{
    ws::UndoStack stack;
    CCustomerDB tree = sampleTree();
    act(stack, tree, {cmd::EditCondition{kS1, 7, wetCondition()}}, "edit");
    ASSERT_TRUE(cmd::Run(tree, cmd::RemoveMeasurement{kT1, 0}).done());
    const CCustomerDB laterBeta = tree;

    ASSERT_TRUE(stack.Undo(tree).done());
    EXPECT_TRUE(tree.customers.At(0) == sampleTree().customers.At(0)); // alpha as before
    EXPECT_TRUE(tree.customers.At(1) == laterBeta.customers.At(1));    // beta as changed
}

// An undo whose part is not what the step left changes nothing and says where.
TEST(UndoStack, UndoOfAPartChangedSinceIsRefused)
{
    struct Case {
        const char* what;
        cmd::Command step;
        cmd::Command since;
        const char* where;
    };
    const std::vector<Case> cases = {
        {"the set's records", cmd::EditCondition{kS1, 7, wetCondition()},
         cmd::RemoveMeasurement{kS1, 1}, "需要家「alpha」のケーブル「C1」の測定データ「S1」"},
        {"its cable gone", cmd::EditCondition{kS1, 7, wetCondition()},
         cmd::RemoveName{Level::Cable, {"alpha", "C1"}},
         "需要家「alpha」のケーブル「C1」の測定データ「S1」"},
        {"an added customer given data", cmd::AddName{Level::Customer, {}, "gamma"},
         cmd::AddName{Level::Cable, {"gamma"}, "G1"}, "需要家「gamma」"},
        {"a removed set's name taken again", cmd::RemoveName{Level::Set, kT1},
         cmd::AddName{Level::Set, {"beta", "B1"}, "T1"},
         "需要家「beta」のケーブル「B1」の測定データ「T1」"},
        {"a renamed customer's old name taken", cmd::RenameName{Level::Customer, {"beta"}, "eta"},
         cmd::AddName{Level::Customer, {}, "beta"}, "需要家「eta」"},
        {"a renamed customer's data changed", cmd::RenameName{Level::Customer, {"beta"}, "eta"},
         cmd::RemoveMeasurement{{"eta", "B1", "T1"}, 0}, "需要家「eta」"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ws::UndoStack stack;
        CCustomerDB tree = sampleTree();
        act(stack, tree, {c.step}, c.what);
        ASSERT_TRUE(cmd::Run(tree, c.since).done());
        const CCustomerDB now = tree;

        const ws::UndoOutcome out = stack.Undo(tree);
        EXPECT_EQ(out.status, UndoStatus::Changed);
        EXPECT_EQ(out.where, c.where);
        EXPECT_EQ(out.stepName, c.what);
        EXPECT_TRUE(tree == now);
        EXPECT_TRUE(stack.CanUndo()); // kept: it may apply again once the part is back
    }
}

// An undo or redo that would change an approved set is refused; others pass.
TEST(UndoStack, ApprovedSetsStopUndoAndRedo)
{
    ws::UndoStack stack;
    std::vector<cmd::TreePath> approved;
    stack.SetLockQuery([&approved](const cmd::TreePath& set) {
        for (const cmd::TreePath& p : approved)
            if (p == set)
                return true;
        return false;
    });
    CCustomerDB tree = sampleTree();
    act(stack, tree, {cmd::RenameName{Level::Customer, {"alpha"}, "zeta"}}, "rename");
    const CCustomerDB renamed = tree;

    approved = {{"zeta", "C1", "S2"}}; // a set whose path the undo would change
    ws::UndoOutcome out = stack.Undo(tree);
    EXPECT_EQ(out.status, UndoStatus::Locked);
    EXPECT_EQ(out.where, "需要家「zeta」のケーブル「C1」の測定データ「S2」");
    EXPECT_TRUE(tree == renamed);

    approved = {kT1}; // another customer's set does not matter
    ASSERT_TRUE(stack.Undo(tree).done());
    approved = {{"alpha", "C1", "S1"}};
    EXPECT_EQ(stack.Redo(tree).status, UndoStatus::Locked);
    EXPECT_TRUE(tree == sampleTree());
}

// A step keeps the touched set or only a rename, never the store; past the budget the oldest
// steps go, and an action too large to keep empties the stack.
TEST(UndoStack, MemoryIsBoundedByTheTouchedPartsAndTheBudget)
{
    constexpr int kPoints = 5000;
    CCustomerDB tree = sampleTree();
    for (int i = 0; i < 40; ++i)
        for (int k = 0; k < 4; ++k)
            sample::setAt(tree, "alpha", "C2", "big" + std::to_string(i))
                .InsertRecord(rec(1.0 + k, k, kPoints));
    const std::size_t setBytes = 4 * kPoints * sizeof(CMeasPoint);

    ws::UndoStack stack;
    act(stack, tree, {cmd::RenameName{Level::Customer, {"alpha"}, "zeta"}}, "rename");
    EXPECT_LT(stack.MemoryUsed(), 4096u);
    act(stack, tree, {cmd::EditCondition{{"zeta", "C2", "big7"}, 7, wetCondition()}}, "edit");
    EXPECT_GT(stack.MemoryUsed(), setBytes);
    EXPECT_LT(stack.MemoryUsed(), 2 * setBytes);

    // Each removal keeps one set: a budget of three and a half sets holds three steps.
    stack.Clear();
    act(stack, tree, {cmd::RemoveName{Level::Set, {"zeta", "C2", "big0"}}}, "remove 0");
    stack.SetBudget(stack.MemoryUsed() * 7 / 2);
    for (int i = 1; i < 6; ++i)
        act(stack, tree, {cmd::RemoveName{Level::Set, {"zeta", "C2", "big" + std::to_string(i)}}},
            "remove " + std::to_string(i));
    EXPECT_LE(stack.MemoryUsed(), stack.Budget());
    EXPECT_EQ(stack.UndoCount(), 3u);
    EXPECT_EQ(stack.UndoName(), "remove 5");
    for (int i = 5; i >= 3; --i)
        ASSERT_TRUE(stack.Undo(tree).done()) << i;
    EXPECT_FALSE(stack.CanUndo());
    EXPECT_EQ(sample::setAt(tree, "zeta", "C2", "big3").RecordCount(), 4u);

    // Removing the customer would keep all of it.
    const CCustomerDB before = tree;
    ASSERT_TRUE(cmd::Run(tree, cmd::RemoveName{Level::Customer, {"zeta"}}).done());
    EXPECT_EQ(stack.Push(before, tree, std::vector<ws::TouchedEntry>{{Level::Customer, {"zeta"}}},
                         "remove all"),
              Pushed::TooLarge);
    EXPECT_FALSE(stack.CanUndo());
    EXPECT_FALSE(stack.CanRedo());
    EXPECT_EQ(stack.MemoryUsed(), 0u);
}

// The entries an action touched, from its changes or its journal items, limit the compare;
// where they cannot tell (an import, a name neither tree holds) the whole list is compared.
TEST(UndoStack, TouchedEntriesComeFromChangesOrItemsAndFallBack)
{
    const auto paths = [](const ws::Touched& touched) {
        std::vector<std::pair<Level, cmd::TreePath>> out;
        for (const ws::TouchedEntry& e : touched.value())
            out.emplace_back(e.level, e.path);
        return out;
    };
    cmd::Change rename{cmd::Kind::RenameName, Level::Cable, {"alpha", "C1"}};
    rename.newName = "C3";
    cmd::Change add{cmd::Kind::AddName, Level::Set, {"alpha", "C1"}};
    add.newName = "S0";
    EXPECT_EQ(paths(ws::TouchedBy({rename, add})),
              (std::vector<std::pair<Level, cmd::TreePath>>{{Level::Cable, {"alpha", "C3"}},
                                                            {Level::Cable, {"alpha", "C1"}},
                                                            {Level::Set, {"alpha", "C1", "S0"}}}));
    EXPECT_FALSE(ws::TouchedBy({cmd::Change{cmd::Kind::ImportMerge}}).has_value());

    ws::JournalItem renamed;
    renamed.level = ws::ItemLevel::Customer;
    renamed.change = ws::ItemChange::Renamed;
    renamed.customer = "需要家";
    renamed.newName = "新";
    ws::JournalItem record;
    record.level = ws::ItemLevel::Record;
    record.customer = "a";
    record.cable = "k";
    record.set = "s";
    EXPECT_EQ(
        paths(ws::TouchedBy({renamed, record})),
        (std::vector<std::pair<Level, cmd::TreePath>>{{Level::Customer, {cp932::lit("需要家")}},
                                                      {Level::Customer, {cp932::lit("新")}},
                                                      {Level::Set, {"a", "k", "s"}}}));

    // Only the set named is compared: a change beside it is no part of the step.
    ws::UndoStack stack;
    CCustomerDB tree = sampleTree();
    const CCustomerDB before = tree;
    ASSERT_TRUE(cmd::Run(tree, cmd::RemoveMeasurement{kS1, 0}).done());
    ASSERT_TRUE(cmd::Run(tree, cmd::RemoveMeasurement{kT1, 0}).done());
    const CCustomerDB after = tree;
    ASSERT_EQ(stack.Push(before, tree, std::vector<ws::TouchedEntry>{{Level::Set, kS1}}, "S1"),
              Pushed::Recorded);
    ASSERT_TRUE(stack.Undo(tree).done());
    EXPECT_TRUE(tree.customers.At(0) == before.customers.At(0));
    EXPECT_TRUE(tree.customers.At(1) == after.customers.At(1));

    // A name neither tree holds: its whole list is compared.
    tree = after;
    stack.Clear();
    ASSERT_EQ(stack.Push(before, tree,
                         std::vector<ws::TouchedEntry>{{Level::Set, {"beta", "B1", "nothing"}},
                                                       {Level::Customer, {"nobody"}}},
                         "step"),
              Pushed::Recorded);
    ASSERT_TRUE(stack.Undo(tree).done());
    EXPECT_TRUE(tree == before);
    // An action that changed nothing is no step.
    EXPECT_EQ(stack.Push(tree, tree, std::nullopt, "nothing"), Pushed::Unchanged);
    EXPECT_TRUE(stack.CanRedo());
}

// The serial-line settings saved with the store are a part of their own.
TEST(UndoStack, LineSettingsAreUndone)
{
    ws::UndoStack stack;
    CCustomerDB tree = sampleTree();
    const CCustomerDB before = tree;
    tree.comm.baudRate = 9600;
    ASSERT_EQ(stack.Push(before, tree, std::vector<ws::TouchedEntry>{}, "通信設定"),
              Pushed::Recorded);
    ASSERT_TRUE(stack.Undo(tree).done());
    EXPECT_EQ(tree.comm.baudRate, before.comm.baudRate);
    ASSERT_TRUE(stack.Redo(tree).done());
    EXPECT_EQ(tree.comm.baudRate, 9600);
}
