// The cable register follows the tree's names: a rename carries an entry, a removal takes it
// away (keeping it as an old revision) and an undo brings it back, each only once the store
// file holding the change was saved.
#include <gtest/gtest.h>

#include <ctime>

#include "model/cp932text.h"
#include "samplerecords.h"
#include "store/store.h"
#include "store/storesession.h"
#include "workspace/cableregister.h"
#include "workspace/storejournal.h"
#include "workspace/treediff.h"
#include "workspace/undostack.h"
#include "wstestfolder.h"

namespace {

const ws::Actor kActor{"tanaka", "pc-7"};

ws::CableRegisterEntry entry(const std::string& customer, const std::string& cable, int months)
{
    ws::CableRegisterEntry e;
    e.customer = customer;
    e.cable = cable;
    e.cableType = "CV";
    e.intervalMonths = months;
    return e;
}

// The program's save path: a session, its journal, and an undo stack fed by the commits.
struct Program {
    explicit Program(const std::string& store)
    {
        StoreOptions o;
        o.syncToDisk = false;
        EXPECT_TRUE(SaveStore(sample::editTree({}), store, o).ok);
        session.SetDataFilePath(store);
        session.SetStoreOptions(o);
        session.SetSaveWitness(&journal);
        journal.SetActor(kActor);
        session.Load();
        journal.Attach(store);
        journal.AfterLoad(session.Store(), session.Identity());
    }
    // Runs one command as a sheet's OK commits it.
    void Run(const cmd::Command& command)
    {
        const CCustomerDB before = session.Store();
        cmd::ChangeList changes;
        ASSERT_TRUE(cmd::Run(session.Store(), command, &changes).done());
        journal.Stage(before, session.Store(), changes.changes);
        ASSERT_EQ(session.Save().status, SaveStatus::Saved);
        const ws::JournalEntry& e = journal.LastJournaled().back();
        undo.Push(before, session.Store(), ws::TouchedBy(e.items), e.summary);
    }
    void Undo()
    {
        CCustomerDB tree = session.Store();
        const ws::UndoOutcome out = undo.Undo(tree);
        ASSERT_TRUE(out.done());
        const CCustomerDB before = std::move(session.Store());
        session.Store() = std::move(tree);
        ws::JournalEntry e = ws::MakeEntry(before, session.Store(), out.changes, kActor, 5000);
        e.command = ws::kind::Undo;
        journal.Stage(before, std::move(e));
        ASSERT_EQ(session.Save().status, SaveStatus::Saved);
    }
    ws::CableRegister Register() { return ws::CableRegister(*journal.Open()); }

    StoreSession session;
    ws::StoreJournal journal;
    ws::UndoStack undo;
};

} // namespace

TEST(RegisterCarry, RenamesCarryRemovalsKeepAndUndoBringsBack)
{
    WsTestFolder dir;
    Program p(dir / "MXR.DAT");
    p.Run(cmd::AddName{cmd::Level::Cable, {"beta", "", ""}, "B1"}); // makes the workspace
    {
        ws::CableRegister reg = p.Register();
        reg.Put(entry("alpha", "C1", 6), kActor, 100);
        reg.Put(entry("alpha", "C2", 12), kActor, 100);
        reg.Put(entry("beta", "B1", 24), kActor, 100);
        reg.SetCustomerInterval("alpha", 36);
    }

    p.Run(cmd::RenameName{cmd::Level::Cable, {"alpha", "C1", ""}, "C9"});
    EXPECT_FALSE(p.Register().Find("alpha", "C1"));
    ASSERT_TRUE(p.Register().Find("alpha", "C9"));
    EXPECT_EQ(p.Register().Find("alpha", "C9")->intervalMonths, 6);

    const std::string gamma = cp932::lit("ガンマ");
    p.Run(cmd::RenameName{cmd::Level::Customer, {"alpha", "", ""}, gamma});
    EXPECT_EQ(p.Register().Find(gamma, "C9")->intervalMonths, 6);
    EXPECT_EQ(p.Register().Find(gamma, "C2")->intervalMonths, 12);
    EXPECT_EQ(p.Register().CustomerInterval(gamma), 36);

    p.Run(cmd::RemoveName{cmd::Level::Cable, {gamma, "C2", ""}});
    EXPECT_FALSE(p.Register().Find(gamma, "C2"));
    ASSERT_FALSE(p.Register().OldRevisions(gamma, "C2").empty()) << "kept as an old revision";
    EXPECT_EQ(p.Register().OldRevisions(gamma, "C2")[0].intervalMonths, 12);

    p.Run(cmd::RemoveName{cmd::Level::Customer, {gamma, "", ""}});
    EXPECT_FALSE(p.Register().Find(gamma, "C9"));
    EXPECT_TRUE(p.Register().Find("beta", "B1")) << "another customer's entry stays";

    p.Undo(); // the customer comes back with its cable C9, and C9's entry with it
    ASSERT_TRUE(p.Register().Find(gamma, "C9"));
    EXPECT_EQ(p.Register().Find(gamma, "C9")->intervalMonths, 6);
    p.Undo(); // C2 comes back
    ASSERT_TRUE(p.Register().Find(gamma, "C2"));
    EXPECT_EQ(p.Register().Find(gamma, "C2")->intervalMonths, 12);
    p.Undo(); // the customer's name goes back
    EXPECT_EQ(p.Register().Find("alpha", "C2")->intervalMonths, 12);
    EXPECT_FALSE(p.Register().Find(gamma, "C2"));
}

TEST(RegisterCarry, ANewCableWithARemovedNameStartsEmptyAndOrphansAreListed)
{
    WsTestFolder dir;
    Program p(dir / "MXR.DAT");
    p.Run(cmd::AddName{cmd::Level::Cable, {"beta", "", ""}, "B1"});
    p.Register().Put(entry("alpha", "C2", 12), kActor, 100);
    p.Register().Put(entry("alpha", "GONE", 3), kActor, 100);
    p.Register().Put(entry("nobody", "X", 3), kActor, 100);
    p.Run(cmd::RemoveName{cmd::Level::Cable, {"alpha", "C2", ""}});
    p.Run(cmd::AddName{cmd::Level::Cable, {"alpha", "", ""}, "C2"});
    EXPECT_FALSE(p.Register().Find("alpha", "C2")) << "only an undo brings an entry back";

    std::vector<std::string> orphans;
    for (const ws::CableRegisterEntry& e : p.Register().Orphans(p.session.Store()))
        orphans.push_back(e.customer + "/" + e.cable);
    EXPECT_EQ(orphans, (std::vector<std::string>{"alpha/GONE", "nobody/X"}));
}

TEST(RegisterCarry, OnlyASaveThatReplacedTheFileCarries)
{
    WsTestFolder dir;
    ws::Workspace w;
    ASSERT_TRUE(w.Open(dir / "MXR.DAT", true).usable());
    ws::CableRegister reg(w);
    reg.Put(entry("alpha", "C1", 6), kActor, 100);
    ws::JournalEntry rename;
    rename.command = "rename-name";
    ws::JournalItem item;
    item.change = ws::ItemChange::Renamed;
    item.level = ws::ItemLevel::Cable;
    item.customer = "alpha";
    item.cable = "C1";
    item.newName = "C9";
    rename.items.push_back(item);
    FileIdentity next;
    next.exists = true;
    next.size = 1;

    const int64_t abandoned = w.BeginSave(rename, next);
    EXPECT_TRUE(reg.Find("alpha", "C1")) << "pending: the file is not replaced yet";
    w.AbandonSave(abandoned);
    EXPECT_TRUE(reg.Find("alpha", "C1"));

    w.FinishSave(w.BeginSave(rename, next), next);
    EXPECT_FALSE(reg.Find("alpha", "C1"));
    EXPECT_TRUE(reg.Find("alpha", "C9"));
}

// A workspace that never had a register journals renames and removals as before.
TEST(RegisterCarry, AWorkspaceWithoutARegisterJournalsNamesAsBefore)
{
    WsTestFolder dir;
    ws::Workspace w;
    ASSERT_TRUE(w.Open(dir / "MXR.DAT", true).usable());
    ws::JournalEntry e;
    e.command = "rename-name";
    for (ws::ItemChange change : {ws::ItemChange::Renamed, ws::ItemChange::Removed}) {
        ws::JournalItem item;
        item.change = change;
        item.level = ws::ItemLevel::Cable;
        item.customer = "alpha";
        item.cable = "C1";
        item.newName = "C9";
        e.items.push_back(item);
    }
    EXPECT_NO_THROW(w.Append(e));
    EXPECT_EQ(w.Query().size(), 1u);
}

TEST(CableRegister, EditsAreJournaledWithTheirFieldsAndAddNewTypes)
{
    WsTestFolder dir;
    ws::Workspace w;
    ASSERT_TRUE(w.Open(dir / "MXR.DAT", true).usable());
    ws::CableRegister reg(w);
    ws::CableRegisterEntry e = entry("alpha", "C1", 6);
    e.cableType = "XLPE-T";
    e.lengthM = 120.5;
    ASSERT_TRUE(reg.Edit(e, kActor, 100));
    EXPECT_FALSE(reg.Edit(e, kActor, 200)) << "nothing differs: nothing written";
    e.lengthM.reset();
    e.intervalMonths = 3;
    ASSERT_TRUE(reg.Edit(e, kActor, 300));
    ASSERT_TRUE(reg.EditCustomerInterval("alpha", 24, kActor, 400));
    EXPECT_FALSE(reg.EditCustomerInterval("alpha", 24, kActor, 500));

    const std::vector<ws::JournalEntry> journal = w.Query();
    ASSERT_EQ(journal.size(), 3u);
    EXPECT_EQ(journal[0].command, ws::kind::RegisterEdit);
    ASSERT_EQ(journal[1].items.size(), 1u);
    const ws::JournalItem& second = journal[1].items[0];
    EXPECT_EQ(second.level, ws::ItemLevel::Cable);
    EXPECT_EQ(second.cable, "C1");
    EXPECT_EQ(second.fields, (std::vector<ws::FieldChange>{{"亘長 (m)", "120.5", ""},
                                                           {"試験周期 (月)", "6", "3"}}));
    EXPECT_EQ(journal[2].items[0].fields[0].after, "24");
    EXPECT_EQ(reg.OldRevisions("alpha", "C1").size(), 1u);

    const std::vector<std::string> types = reg.CableTypes();
    EXPECT_EQ(types.front(), "CV");
    EXPECT_EQ(types.back(), "XLPE-T");
    EXPECT_FALSE(reg.AddCableType("xlpe-t")) << "listed already (letters folded)";
    EXPECT_FALSE(reg.AddCableType("cvt")) << "a default";
}
