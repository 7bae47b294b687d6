// The tree commands: what each changes, what it refuses, and that the observer hears of every
// change exactly once and of nothing else.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/treecommands.h"
#include "samplerecords.h"

namespace {

CMeasRecord rec(double kV, int second = 0)
{
    CMeasRecord r;
    r.TestVoltage = kV;
    r.TriggerLevel = 5.0;
    r.StartTime = *OleDateTime::parse("2024/05/01 10:20:" + std::to_string(10 + second));
    for (int i = 0; i < 400; ++i)
        r.Points.push_back(CMeasPoint{CDataValue(10.0 - 0.02 * i), 0.2 * i});
    r.UsedPoints = 400;
    return r;
}

// Customers "alpha" and "beta"; alpha/C1 has set "S1" (10 and 20 kV) and empty "S2"; alpha/C2
// has no sets.
CCustomerDB sampleTree()
{
    CCustomerDB db = sample::editTree({rec(20.0, 1), rec(10.0, 0)});
    RecalcRatios(sample::setAt(db, "alpha", "C1", "S1"));
    return db;
}

const cmd::TreePath kS1{"alpha", "C1", "S1"};

struct Recorder : cmd::ChangeObserver {
    std::vector<cmd::Change> changes;
    void TreeChanged(const CCustomerDB&, const cmd::Change& change) override
    {
        changes.push_back(change);
    }
};

struct NoQuestions : CImportQuestions {
    bool answer = true;
    bool ConfirmMerge(const std::string&) override { return answer; }
    bool ConfirmConditions(const std::string&) override { return answer; }
};

std::vector<std::string> names(const CNamedList<CCable>& list)
{
    std::vector<std::string> out;
    for (int i = 0; i < list.Count(); ++i)
        out.push_back(list.At(i).name);
    return out;
}

const CMeasData& s1Of(const CCustomerDB& db)
{
    return db.customers.At(0).cables.At(0).sets.At(0);
}

} // namespace

// Commands on entries that do not exist, or that would change nothing, leave the tree as it
// was and tell the observer nothing.
TEST(TreeCommands, RefusalsChangeNothingAndStaySilent)
{
    struct Case {
        const char* what;
        cmd::Command command;
        cmd::Status status;
    };
    const cmd::TreePath noSet{"alpha", "C1", "S9"};
    const CTestCondition& now = s1Of(sampleTree()).RecordAt(0).Condition;
    const JudgParams sameCriteria{now.SeikyokuMin,
                                  now.SeikyokuMax,
                                  now.JyakutenMin,
                                  now.JyakutenMax,
                                  now.LastCurrentMin,
                                  now.LastCurrentMax,
                                  s1Of(sampleTree()).ShowSeikyoku,
                                  s1Of(sampleTree()).ShowJyakuten};
    const Case cases[] = {
        {"add under missing customer", cmd::AddName{cmd::Level::Cable, {"gamma"}, "X"},
         cmd::Status::NotFound},
        {"add an existing name, other case", cmd::AddName{cmd::Level::Cable, {"alpha"}, "c1"},
         cmd::Status::NameExists},
        {"rename missing", cmd::RenameName{cmd::Level::Set, noSet, "T"}, cmd::Status::NotFound},
        {"rename onto sibling", cmd::RenameName{cmd::Level::Set, kS1, "s2"},
         cmd::Status::NameExists},
        {"rename too long", cmd::RenameName{cmd::Level::Set, kS1, std::string(27, 'x')},
         cmd::Status::NameTooLong},
        {"rename to itself", cmd::RenameName{cmd::Level::Set, kS1, "S1"}, cmd::Status::Unchanged},
        {"remove missing cable", cmd::RemoveName{cmd::Level::Cable, {"alpha", "C9"}},
         cmd::Status::NotFound},
        {"remove measurement past the end", cmd::RemoveMeasurement{kS1, 2}, cmd::Status::NotFound},
        {"edit measurement of missing set", cmd::EditMeasurement{noSet, 0, {}, rec(5.0)},
         cmd::Status::NotFound},
        {"condition of an empty set", cmd::EditCondition{{"alpha", "C1", "S2"}, 3, {}},
         cmd::Status::NotFound},
        {"criteria as they are", cmd::SetCriteria{kS1, sameCriteria}, cmd::Status::Unchanged},
        {"display switches as they are", cmd::ApplyDisplayToRecords{kS1, 1, 1},
         cmd::Status::Unchanged},
        {"final value past the end", cmd::ChooseFinalValue{kS1, 5, {}, 0, 10},
         cmd::Status::NotFound},
        {"register into missing set", cmd::RegisterReceived{noSet, {rec(1.0)}, {}, false},
         cmd::Status::NotFound},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CCustomerDB db = sampleTree();
        Recorder seen;
        EXPECT_EQ(cmd::Run(db, c.command, &seen).status, c.status);
        EXPECT_EQ(db, sampleTree());
        EXPECT_TRUE(seen.changes.empty());
    }
}

// Each command that changes the tree is reported once, with its kind and the entry it touched.
TEST(TreeCommands, EveryChangeIsReportedOnce)
{
    CTestCondition wet;
    wet.Weather = "rain";
    JudgParams strict;
    strict.SeikyokuMin = 0.7;
    CCustomerDB imported;
    imported.customers.FindOrInsert("delta");
    NoQuestions yes;
    struct Case {
        cmd::Command command;
        cmd::Kind kind;
        cmd::TreePath path;
    };
    const Case cases[] = {
        {cmd::AddName{cmd::Level::Customer, {}, "gamma"}, cmd::Kind::AddName, {}},
        {cmd::RenameName{cmd::Level::Cable, {"alpha", "C1"}, "C3"},
         cmd::Kind::RenameName,
         {"alpha", "C1"}},
        {cmd::RemoveName{cmd::Level::Customer, {"alpha"}}, cmd::Kind::RemoveName, {"alpha"}},
        {cmd::RemoveMeasurement{kS1, 0}, cmd::Kind::RemoveMeasurement, kS1},
        {cmd::EditMeasurement{kS1, 0, cmd::MeasField::TriggerLevel, rec(10.0)},
         cmd::Kind::EditMeasurement, kS1},
        {cmd::SetMeasurementDisplay{kS1, 1, 0, 0, 10}, cmd::Kind::SetMeasurementDisplay, kS1},
        {cmd::EditCondition{kS1, 5, wet}, cmd::Kind::EditCondition, kS1},
        {cmd::SetCriteria{kS1, strict}, cmd::Kind::SetCriteria, kS1},
        {cmd::ApplyDisplayToRecords{kS1, 0, 1}, cmd::Kind::ApplyDisplayToRecords, kS1},
        {cmd::ChooseFinalValue{kS1, 0, rec(10.0).Points, 99, 10}, cmd::Kind::ChooseFinalValue, kS1},
        {cmd::RegisterReceived{kS1, {rec(15.0, 5)}, wet, false}, cmd::Kind::RegisterReceived, kS1},
        {cmd::ImportMerge{ExchangeNode::root(), &imported, ExchangeNode::Root, {}, &yes},
         cmd::Kind::ImportMerge,
         {}},
        {cmd::RecalculateAll{4}, cmd::Kind::RecalculateAll, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(cmd::KindName(c.kind));
        CCustomerDB db = sampleTree();
        Recorder seen;
        EXPECT_EQ(cmd::Run(db, c.command, &seen).status, cmd::Status::Done);
        EXPECT_NE(db, sampleTree()) << "the tree changed";
        ASSERT_EQ(seen.changes.size(), 1u);
        EXPECT_EQ(seen.changes[0].kind, c.kind);
        EXPECT_EQ(seen.changes[0].path, c.path);
    }
}

TEST(TreeCommands, RenameMovesTheEntryWithItsContentsToItsSortedPlace)
{
    CCustomerDB db = sampleTree();
    const CCable before = db.customers.At(0).cables.At(0); // C1
    const cmd::Outcome out =
        cmd::Run(db, cmd::RenameName{cmd::Level::Cable, {"alpha", "C1"}, "C3"});
    ASSERT_TRUE(out.done());
    EXPECT_EQ(out.position, 1);
    const CCustomer& alpha = db.customers.At(0);
    EXPECT_EQ(names(alpha.cables), (std::vector<std::string>{"C2", "C3"}));
    EXPECT_EQ(alpha.cables.At(1).sets, before.sets);

    // Only the case changes: the entry keeps its place and takes the new spelling.
    ASSERT_TRUE(cmd::Run(db, cmd::RenameName{cmd::Level::Cable, {"alpha", "C2"}, "c2"}).done());
    EXPECT_EQ(names(db.customers.At(0).cables), (std::vector<std::string>{"c2", "C3"}));
}

TEST(TreeCommands, VoltageEditMovesTheRecordAndRecomputesTheRatios)
{
    CCustomerDB db = sampleTree();
    CMeasRecord edited = s1Of(db).RecordAt(0); // 10 kV
    edited.TestVoltage = 30.0;
    Recorder seen;
    const cmd::Outcome out =
        cmd::Run(db, cmd::EditMeasurement{kS1, 0, cmd::MeasField::TestVoltage, edited}, &seen);
    ASSERT_TRUE(out.done());
    EXPECT_EQ(out.position, 1);
    const CMeasData& set = s1Of(db);
    EXPECT_EQ(set.RecordAt(0).TestVoltage, 20.0);
    EXPECT_EQ(set.RecordAt(1).TestVoltage, 30.0);
    CMeasData expected = set;
    RecalcRatios(expected);
    EXPECT_EQ(set, expected);
    ASSERT_EQ(seen.changes.size(), 1u);
    EXPECT_EQ(seen.changes[0].indices, (std::vector<std::size_t>{0}));
    EXPECT_EQ(seen.changes[0].field, static_cast<int>(cmd::MeasField::TestVoltage));
}

TEST(TreeCommands, RegistrationGivesEveryRecordTheConditionAndTellsWhereTheyWent)
{
    CCustomerDB db = sampleTree();
    CTestCondition block;
    block.Remarks = "new";
    Recorder seen;
    ASSERT_TRUE(
        cmd::Run(db, cmd::RegisterReceived{kS1, {rec(15.0, 5), rec(5.0, 6)}, block, false}, &seen)
            .done());
    const CMeasData& set = s1Of(db);
    ASSERT_EQ(set.RecordCount(), 4u);
    for (const CMeasRecord& r : set.Records())
        EXPECT_EQ(r.Condition, block);
    ASSERT_EQ(seen.changes.size(), 1u);
    EXPECT_EQ(seen.changes[0].count, 2u);
    EXPECT_EQ(seen.changes[0].indices, (std::vector<std::size_t>{2, 0})); // 15 kV, 5 kV

    // Replacing: only the received records stay.
    ASSERT_TRUE(cmd::Run(db, cmd::RegisterReceived{kS1, {rec(7.0)}, block, true}).done());
    EXPECT_EQ(s1Of(db).RecordCount(), 1u);
}

TEST(TreeCommands, RemovingAnEntryCountsTheRecordsThatWentWithIt)
{
    CCustomerDB db = sampleTree();
    Recorder seen;
    ASSERT_TRUE(cmd::Run(db, cmd::RemoveName{cmd::Level::Customer, {"alpha"}}, &seen).done());
    EXPECT_EQ(db.customers.Count(), 1);
    ASSERT_EQ(seen.changes.size(), 1u);
    EXPECT_EQ(seen.changes[0].count, 2u);
}

TEST(TreeCommands, DeclinedImportLeavesTheTreeAlone)
{
    CCustomerDB imported;
    CCustomer& alpha = imported.customers.At(imported.customers.FindOrInsert("alpha"));
    alpha.cables.FindOrInsert("C7");
    NoQuestions no;
    no.answer = false;
    CCustomerDB db = sampleTree();
    Recorder seen;
    const cmd::Outcome out = cmd::Run(
        db, cmd::ImportMerge{ExchangeNode::root(), &imported, ExchangeNode::Root, {}, &no}, &seen);
    EXPECT_EQ(out.status, cmd::Status::Declined);
    EXPECT_EQ(out.importStatus, ImportStatus::Declined);
    EXPECT_EQ(db, sampleTree());
    EXPECT_TRUE(seen.changes.empty());

    NoQuestions yes;
    ASSERT_TRUE(
        cmd::Run(db,
                 cmd::ImportMerge{ExchangeNode::root(), &imported, ExchangeNode::Root, {}, &yes})
            .done());
    EXPECT_EQ(names(db.customers.At(0).cables), (std::vector<std::string>{"C1", "C2", "C7"}));
}

// An approved set refuses every command that would change its records, conditions or name,
// or remove it, also through a cable or customer that holds it; the tree stays as it was and
// the observer hears nothing. Names compare as the tree compares them.
TEST(TreeCommands, LockedSetRefusesEveryChange)
{
    const cmd::LockedSets locks({{"ALPHA", "c1", "s1"}});
    CTestCondition wet;
    wet.Weather = "rain";
    JudgParams strict;
    strict.SeikyokuMin = 0.7;
    CCustomerDB changedS1 = sampleTree();
    sample::setAt(changedS1, "alpha", "C1", "S1").RemoveRecordAt(0);
    NoQuestions yes;
    struct Case {
        const char* what;
        cmd::Command command;
    };
    const Case cases[] = {
        {"rename the set", cmd::RenameName{cmd::Level::Set, kS1, "S3"}},
        {"rename its cable", cmd::RenameName{cmd::Level::Cable, {"alpha", "C1"}, "C3"}},
        {"rename its customer", cmd::RenameName{cmd::Level::Customer, {"alpha"}, "omega"}},
        {"remove the set", cmd::RemoveName{cmd::Level::Set, kS1}},
        {"remove its cable", cmd::RemoveName{cmd::Level::Cable, {"alpha", "C1"}}},
        {"remove its customer", cmd::RemoveName{cmd::Level::Customer, {"alpha"}}},
        {"remove a measurement", cmd::RemoveMeasurement{kS1, 0}},
        {"edit a measurement", cmd::EditMeasurement{kS1, 0, cmd::MeasField::TriggerLevel, rec(10.0)}},
        {"judgment display", cmd::SetMeasurementDisplay{kS1, 1, 0, 0, 10}},
        {"condition", cmd::EditCondition{kS1, 5, wet}},
        {"criteria", cmd::SetCriteria{kS1, strict}},
        {"display into past data", cmd::ApplyDisplayToRecords{kS1, 0, 1}},
        {"final value", cmd::ChooseFinalValue{kS1, 0, rec(10.0).Points, 99, 10}},
        {"registration", cmd::RegisterReceived{kS1, {rec(15.0, 5)}, wet, false}},
        {"import over the set",
         cmd::ImportMerge{ExchangeNode::root(), &changedS1, ExchangeNode::Root, {}, &yes}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CCustomerDB db = sampleTree();
        Recorder seen;
        const cmd::Outcome out = cmd::Run(db, c.command, &seen, &locks);
        EXPECT_EQ(out.status, cmd::Status::Approved);
        EXPECT_EQ(out.locked, kS1) << "the tree's own spelling of the locked set";
        EXPECT_EQ(db, sampleTree());
        EXPECT_TRUE(seen.changes.empty());
    }
}

// Around an approved set everything else goes on: its siblings, the other cable and customer,
// an import beside it, and an OK of the criteria dialog that changes nothing.
TEST(TreeCommands, LockLeavesTheRestOfTheTreeFree)
{
    const cmd::LockedSets locks({kS1});
    CCustomerDB imported;
    imported.customers.At(imported.customers.FindOrInsert("alpha")).cables.FindOrInsert("C7");
    NoQuestions yes;
    const CMeasData& s1 = s1Of(sampleTree());
    const CTestCondition& now = s1.RecordAt(0).Condition;
    const JudgParams same{now.SeikyokuMin,    now.SeikyokuMax,    now.JyakutenMin,
                          now.JyakutenMax,    now.LastCurrentMin, now.LastCurrentMax,
                          s1.ShowSeikyoku,    s1.ShowJyakuten};
    struct Case {
        const char* what;
        cmd::Command command;
        cmd::Status status;
    };
    const Case cases[] = {
        {"rename the empty sibling", cmd::RenameName{cmd::Level::Set, {"alpha", "C1", "S2"}, "S3"},
         cmd::Status::Done},
        {"add a set beside it", cmd::AddName{cmd::Level::Set, {"alpha", "C1"}, "S0"},
         cmd::Status::Done},
        {"rename the other cable", cmd::RenameName{cmd::Level::Cable, {"alpha", "C2"}, "C9"},
         cmd::Status::Done},
        {"remove the other customer", cmd::RemoveName{cmd::Level::Customer, {"beta"}},
         cmd::Status::Done},
        {"import beside it",
         cmd::ImportMerge{ExchangeNode::root(), &imported, ExchangeNode::Root, {}, &yes},
         cmd::Status::Done},
        {"criteria as they are", cmd::SetCriteria{kS1, same}, cmd::Status::Unchanged},
        {"display as it is", cmd::ApplyDisplayToRecords{kS1, 1, 1}, cmd::Status::Unchanged},
        {"missing record stays not found", cmd::RemoveMeasurement{kS1, 7}, cmd::Status::NotFound},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CCustomerDB db = sampleTree();
        EXPECT_EQ(cmd::Run(db, c.command, nullptr, &locks).status, c.status);
        ASSERT_NE(cmd::FindSet(db, kS1), nullptr);
        EXPECT_EQ(*cmd::FindSet(db, kS1), s1Of(sampleTree()));
    }
}

// Recalculating the whole tree passes approved sets by and counts only what it recalculated.
TEST(TreeCommands, RecalculateAllSkipsLockedSets)
{
    CCustomerDB db = sampleTree();
    sample::setAt(db, "beta", "K", "T").InsertRecord(rec(10.0));
    CCustomerDB before = db;
    const cmd::LockedSets locks({kS1});
    Recorder seen;
    const cmd::Outcome out = cmd::Run(db, cmd::RecalculateAll{4}, &seen, &locks);
    ASSERT_TRUE(out.done());
    EXPECT_EQ(out.skippedSets, 1u);
    EXPECT_EQ(s1Of(db), s1Of(before));
    EXPECT_NE(sample::setAt(db, "beta", "K", "T"), sample::setAt(before, "beta", "K", "T"));
    ASSERT_EQ(seen.changes.size(), 1u);
    EXPECT_EQ(seen.changes[0].count, 1u);
}
