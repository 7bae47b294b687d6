// The workspace's change journal through a real PostgreSQL server: each workstation sends its
// entries once, the others read them back, and the server keeps them append-only.
#include <gtest/gtest.h>

#include <filesystem>

#include "pgtestcase.h"
#include "shareddb/journalsync.h"
#include "shareddb/pgconnection.h"
#include "shareddb/sync.h"
#include "synctesthelp.h"
#include "workspace/journalidentity.h"
#include "workspace/workspace.h"

namespace fs = std::filesystem;
using namespace shareddb;

namespace {

ws::JournalEntry entryOf(const std::string& customer, const std::string& summary, int64_t time)
{
    ws::JournalEntry e;
    e.time = time;
    e.user = "tanaka";
    e.workstation = "端末A";
    e.command = "edit-condition";
    e.summary = summary;
    e.reason = "";
    ws::JournalItem record;
    record.change = ws::ItemChange::Changed;
    record.level = ws::ItemLevel::Record;
    record.customer = customer;
    record.cable = "K1";
    record.set = "S1";
    record.contentKey = std::string(64, 'a');
    record.newKey = std::string(64, 'b');
    record.stateHash = 0xFEDCBA9876543210ull; // above the signed range: kept bit for bit
    record.fields = {{"試験電圧", "5.00", "6.00"}, {"診断方法", "", "直流"}};
    ws::JournalItem renamed;
    renamed.change = ws::ItemChange::Renamed;
    renamed.level = ws::ItemLevel::Cable;
    renamed.customer = customer;
    renamed.cable = "K0";
    renamed.newName = "K1";
    renamed.count = 12;
    e.items = {record, renamed};
    return e;
}

class JournalSyncTest : public PgTestCase<> {
protected:
    SyncTarget folder(const std::string& name)
    {
        return synctest::folder(server().params(m_db), m_tmp, name);
    }
    int64_t serverEntries()
    {
        PgConnection c(server().params(m_db));
        return std::stoll(std::string(c.exec("SELECT count(*) FROM journal_entries").raw(0, 0)));
    }
};

} // namespace

TEST_F(JournalSyncTest, EntriesAreSentOnceAndReadByTheOtherWorkstation)
{
    SyncTarget a = folder("A"), b = folder("B");
    std::vector<ws::JournalEntry> made;
    {
        ws::Workspace w;
        ASSERT_TRUE(w.Open(a.storePath, true).usable());
        w.Append(entryOf("需要家1", "測定条件の変更", 1765400000));
        w.Append(entryOf("需要家2", "名前の変更: K0 → K1", 1765400060));
        made = w.Query();
    }
    SyncSummary s = RunSync(a, SyncMode::Sync);
    ASSERT_TRUE(s.ok) << s.message;
    EXPECT_EQ(s.journalSent, 2);
    EXPECT_EQ(s.journalProblem, "");
    s = RunSync(a, SyncMode::Sync);
    ASSERT_TRUE(s.ok) << s.message;
    EXPECT_EQ(s.journalSent, 0) << "sent again: nothing";
    EXPECT_EQ(serverEntries(), 2);

    // A workstation without a workspace sends nothing and still syncs.
    s = RunSync(b, SyncMode::Sync);
    ASSERT_TRUE(s.ok) << s.message;
    EXPECT_EQ(s.journalSent, 0);

    // What B reads of the others is what A made, items and values included.
    SharedJournalFilter others;
    others.excludeWorkstation = "B";
    SharedJournalResult read = ReadSharedJournal(b.db, others);
    ASSERT_TRUE(read.ok) << read.message;
    ASSERT_EQ(read.entries.size(), 2u);
    for (std::size_t i = 0; i < made.size(); ++i) {
        EXPECT_EQ(read.entries[i].workstation, "A");
        EXPECT_EQ(read.entries[i].entry, made[i]);
    }

    // A new entry is sent alone; a filter picks by the names of the items.
    {
        ws::Workspace w;
        ASSERT_TRUE(w.Open(a.storePath, false).usable());
        w.Append(entryOf("需要家1", "判定基準の変更", 1765400120));
    }
    s = RunSync(a, SyncMode::Push);
    ASSERT_TRUE(s.ok) << s.message;
    EXPECT_EQ(s.journalSent, 1);
    SharedJournalFilter one;
    one.customer = "需要家1";
    one.cable = "K1";
    one.withItems = false;
    read = ReadSharedJournal(b.db, one);
    ASSERT_TRUE(read.ok) << read.message;
    ASSERT_EQ(read.entries.size(), 2u);
    EXPECT_EQ(read.entries[0].entry.summary, "測定条件の変更");
    EXPECT_EQ(read.entries[1].entry.summary, "判定基準の変更");
    EXPECT_TRUE(read.entries[1].entry.items.empty());
    one.limit = 1;
    one.customer.clear();
    read = ReadSharedJournal(b.db, one);
    ASSERT_EQ(read.entries.size(), 1u);
    EXPECT_EQ(read.entries[0].entry.summary, "判定基準の変更") << "the newest";
}

// A journal started anew on the same workstation (a damaged one kept aside, a workspace
// removed) numbers its entries from 1 again: they are its own, not the old journal's repeats.
TEST_F(JournalSyncTest, AJournalStartedAnewIsNotTakenForTheOldOne)
{
    SyncTarget a = folder("A");
    std::string firstId;
    {
        ws::Workspace w;
        ASSERT_TRUE(w.Open(a.storePath, true).usable());
        w.Append(entryOf("需要家1", "一つ目", 1765400000));
        firstId = ws::JournalIdentity(w);
    }
    ASSERT_EQ(RunSync(a, SyncMode::Sync).journalSent, 1);
    fs::remove(ws::WorkspacePathFor(a.storePath));
    {
        ws::Workspace w;
        ASSERT_TRUE(w.Open(a.storePath, true).usable());
        w.Append(entryOf("需要家1", "新しい一つ目", 1765400100));
        EXPECT_NE(ws::JournalIdentity(w), firstId);
    }
    EXPECT_EQ(RunSync(a, SyncMode::Sync).journalSent, 1);
    EXPECT_EQ(serverEntries(), 2);
}

// The sync role may send and read the journal and nothing more; no one changes or removes what
// was sent, not even the tables' owner.
TEST_F(JournalSyncTest, TheServerKeepsTheJournalAppendOnly)
{
    ASSERT_TRUE(server().sql("DO $$ BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = "
                              "'syncer') THEN CREATE ROLE syncer LOGIN; END IF; END $$"));
    ASSERT_TRUE(server().sql("GRANT mxr_sync TO syncer"));
    SyncTarget a = folder("A");
    for (auto& [k, v] : a.db.params)
        if (k == "user")
            v = "syncer";
    {
        ws::Workspace w;
        ASSERT_TRUE(w.Open(a.storePath, true).usable());
        w.Append(entryOf("需要家1", "一つ目", 1765400000));
    }
    const SyncSummary s = RunSync(a, SyncMode::Sync);
    ASSERT_TRUE(s.ok) << s.message;
    EXPECT_EQ(s.journalSent, 1);
    const SharedJournalResult read = ReadSharedJournal(a.db);
    ASSERT_TRUE(read.ok) << read.message;
    EXPECT_EQ(read.entries.size(), 1u);

    PgConnection syncer(a.db.params);
    PgConnection owner(server().params(m_db));
    for (PgConnection* c : {&syncer, &owner})
        for (const char* sql :
             {"UPDATE journal_entries SET summary = 'x'", "DELETE FROM journal_fields",
              "UPDATE journal_items SET customer = 'x'", "TRUNCATE journal_entries CASCADE"})
            EXPECT_THROW(c->exec(sql), PgError) << sql;
    EXPECT_EQ(serverEntries(), 1);
}
