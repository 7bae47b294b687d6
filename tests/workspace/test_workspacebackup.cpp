// The workspace in the store's backups and restores: a consistent copy beside each backup,
// rotated with it, and a restore that brings the copy's tables back, keeps the journal and
// journals itself.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "samplerecords.h"
#include "store/backup.h"
#include "store/store.h"
#include "workspace/journalidentity.h"
#include "workspace/sqlitedb.h"
#include "workspace/workspace.h"
#include "workspace/workspacebackup.h"

namespace fs = std::filesystem;

namespace {

std::time_t localTime(int y, int mo, int d, int h, int mi = 0)
{
    std::tm t{};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

CCustomerDB treeOf(int records)
{
    std::vector<CMeasRecord> list;
    for (int i = 0; i < records; ++i) {
        CMeasRecord r;
        r.TestVoltage = 5.0 + i;
        r.StartTime = {38697.5 + i, 0};
        sample::addPoints(r, 5, [&](int p) { return 10.0 / (p + 1) + i; });
        list.push_back(r);
    }
    return sample::treeWith(list, "需要家A", "K1", "S1");
}

ws::JournalEntry entryNamed(const std::string& summary, int64_t time)
{
    ws::JournalEntry e;
    e.time = time;
    e.user = "tanaka";
    e.workstation = "端末1";
    e.command = ws::kind::Approve;
    e.summary = summary;
    ws::JournalItem item;
    item.change = ws::ItemChange::Changed;
    item.level = ws::ItemLevel::Set;
    item.customer = "需要家A";
    item.cable = "K1";
    item.set = "S1";
    item.fields.push_back({"承認", "", summary});
    e.items.push_back(item);
    return e;
}

// The workspace of the store at path as the document starts it: the store as it is now is the
// journal's known state.
void startJournal(ws::Workspace& w, const std::string& store)
{
    ASSERT_TRUE(w.Open(store, true).usable());
    CCustomerDB tree;
    ASSERT_TRUE(LoadStore(tree, store).ok);
    w.SetBaseline(tree, IdentityOfPath(store));
}

std::vector<std::string> summaries(const ws::Workspace& w)
{
    std::vector<std::string> list;
    for (const ws::JournalEntry& e : w.Query())
        list.push_back(e.summary);
    return list;
}

// A table of another part of the workspace (approvals, say): one text row.
void setOtherTable(ws::Workspace& w, const std::string& value)
{
    w.Db().Exec("CREATE TABLE IF NOT EXISTS other_part (value TEXT NOT NULL)");
    w.Db().Exec("DELETE FROM other_part");
    sqlite::Stmt insert(w.Db(), "INSERT INTO other_part (value) VALUES (?1)");
    insert.Bind(1, value);
    insert.Run();
}

std::string otherTable(ws::Workspace& w)
{
    sqlite::Stmt read(w.Db(), "SELECT group_concat(value) FROM other_part");
    return read.Step() ? read.Text(0) : std::string();
}

class WorkspaceBackupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() /
                ("mxr_wsbackup_" + std::to_string(::getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        m_store = (m_dir / "MXR.DAT").string();
        m_policy = ws::WithWorkspace({storebackup::kMinKeepLast, storebackup::kMinKeepMonths});
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::vector<std::string> backupFolder() const
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(m_dir / "backup"))
            if (e.path().filename() != storebackup::kCreationOrderFile)
                names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path m_dir;
    std::string m_store;
    storebackup::BackupPolicy m_policy;
};

} // namespace

// The copy is made with the backup API: entries still in the -wal file of a writer that keeps
// its connection open are in it (a byte copy of the database file would lack them), and the
// copy is one self-contained file in rollback mode.
TEST_F(WorkspaceBackupTest, BackupCarriesAConsistentCopyWithTheSameTimestamp)
{
    ASSERT_TRUE(SaveStore(treeOf(2), m_store).ok);
    ws::Workspace live;
    startJournal(live, m_store);
    for (int i = 0; i < 3; ++i)
        live.Append(entryNamed("承認 " + std::to_string(i), 1000 + i));
    ASSERT_TRUE(fs::exists(ws::WorkspacePathFor(m_store) + "-wal"));
    {
        // What a byte copy of the database file would hold: not the entries still in the WAL.
        const std::string bytes = (m_dir / "bytes.sqlite").string();
        fs::copy_file(ws::WorkspacePathFor(m_store), bytes);
        ws::Workspace byteCopy;
        ASSERT_TRUE(byteCopy.OpenFile(bytes, false).usable());
        ASSERT_LT(byteCopy.Query().size(), 3u);
    }

    const storebackup::BackupResult b =
        storebackup::MakeBackup(m_store, m_policy, localTime(2026, 12, 11, 9, 30));
    ASSERT_TRUE(b.ok) << b.Describe();
    EXPECT_EQ(b.companionError, "");
    EXPECT_EQ(backupFolder(), (std::vector<std::string>{"MXR-20261211-093000.DAT",
                                                        "MXR-20261211-093000.workspace.sqlite"}));
    const std::string copy = ws::WorkspaceCopyFor(b.path);
    {
        std::ifstream in(copy, std::ios::binary);
        char header[20] = {};
        in.read(header, sizeof header);
        EXPECT_EQ(std::string(header, 15), "SQLite format 3");
        EXPECT_EQ(header[18], 1) << "rollback journal, not WAL";
        EXPECT_EQ(header[19], 1);
    }
    ws::Workspace copied;
    ASSERT_TRUE(copied.OpenFile(copy, false).usable());
    EXPECT_EQ(copied.Query(), live.Query());
    copied.Close();
    EXPECT_FALSE(fs::exists(copy + "-wal"));

    // A store without a workspace is backed up alone.
    live.Close();
    fs::remove(ws::WorkspacePathFor(m_store));
    const storebackup::BackupResult alone =
        storebackup::MakeBackup(m_store, m_policy, localTime(2026, 12, 11, 9, 31));
    ASSERT_TRUE(alone.ok);
    EXPECT_FALSE(fs::exists(ws::WorkspaceCopyFor(alone.path)));
}

TEST_F(WorkspaceBackupTest, RotationRemovesTheCopyWithItsBackup)
{
    ASSERT_TRUE(SaveStore(treeOf(1), m_store).ok);
    ws::Workspace live;
    ASSERT_TRUE(live.Open(m_store, true).usable());
    for (int minute = 0; minute < 5; ++minute) {
        live.Append(entryNamed("承認", 1000 + minute));
        ASSERT_TRUE(
            storebackup::MakeBackup(m_store, m_policy, localTime(2026, 12, 11, 9, minute)).ok);
    }
    EXPECT_EQ(backupFolder(),
              (std::vector<std::string>{
                  "MXR-20261211-090200.DAT", "MXR-20261211-090200.workspace.sqlite",
                  "MXR-20261211-090300.DAT", "MXR-20261211-090300.workspace.sqlite",
                  "MXR-20261211-090400.DAT", "MXR-20261211-090400.workspace.sqlite"}));
}

// The store and the workspace's other tables come back as the backup had them; the journal
// keeps every entry, also those made after the backup, and ends with the restore, whose items
// say what the restore changed.
TEST_F(WorkspaceBackupTest, RestoreBringsTheCopyBackAndJournalsTheRestore)
{
    const CCustomerDB old = treeOf(1);
    ASSERT_TRUE(SaveStore(old, m_store).ok);
    std::string backupPath;
    {
        ws::Workspace live;
        startJournal(live, m_store);
        live.Append(entryNamed("前", 1000));
        setOtherTable(live, "as backed up");
        const storebackup::BackupResult b =
            storebackup::MakeBackup(m_store, m_policy, localTime(2026, 12, 11, 9, 0));
        ASSERT_TRUE(b.ok);
        backupPath = b.path;
        live.Append(entryNamed("後", 2000));
        setOtherTable(live, "changed later");
        live.Db().Exec("CREATE TABLE made_later (value TEXT); INSERT INTO made_later VALUES ('x')");
        // A journaled save of two more records.
        ASSERT_TRUE(SaveStore(treeOf(3), m_store).ok);
        live.SetBaseline(treeOf(3), IdentityOfPath(m_store));
    }

    const storebackup::RestoreResult r =
        storebackup::RestoreBackup(backupPath, m_store, m_policy, localTime(2026, 12, 11, 10));
    ASSERT_TRUE(r.ok) << r.message;
    CCustomerDB restored;
    const StoreOutcome loaded = LoadStore(restored, m_store);
    ASSERT_TRUE(loaded.ok);
    ASSERT_TRUE(restored == old);
    const ws::RestoreJournal j =
        ws::RestoreWorkspace(backupPath, m_store, restored, loaded.identity, {"suzuki", "端末2"});
    ASSERT_TRUE(j.ok) << j.error;
    EXPECT_TRUE(j.fromCopy);
    EXPECT_FALSE(j.wholeCopy);

    ws::Workspace live;
    ASSERT_TRUE(live.Open(m_store, false).usable());
    EXPECT_EQ(summaries(live), (std::vector<std::string>{"前", "後", ws::kRestoreSummary}));
    const ws::JournalEntry last = live.Query().back();
    EXPECT_EQ(last.id, j.entryId);
    EXPECT_EQ(last.command, ws::kind::Restore);
    EXPECT_EQ(last.reason, "MXR-20261211-090000.DAT");
    EXPECT_EQ(last.user, "suzuki");
    EXPECT_EQ(last.items.size(), 2u) << "the two records the restore removed";
    EXPECT_EQ(otherTable(live), "as backed up");
    {
        sqlite::Stmt later(live.Db(), "SELECT count(*) FROM made_later");
        ASSERT_TRUE(later.Step());
        EXPECT_EQ(later.Int(0), 0) << "a table made after the backup holds nothing of then";
    }
    ASSERT_TRUE(live.KnownIdentity().has_value());
    EXPECT_EQ(*live.KnownIdentity(), loaded.identity);
    EXPECT_TRUE(live.DiffWithState(restored).empty());

    // The workspace as it was before the restore is in the safeguard backup.
    ws::Workspace kept;
    ASSERT_TRUE(kept.OpenFile(ws::WorkspaceCopyFor(r.safeguard.path), false).usable());
    EXPECT_EQ(summaries(kept), (std::vector<std::string>{"前", "後"}));
    EXPECT_EQ(otherTable(kept), "changed later");
}

// Without a copy beside the backup, the workspace stays as it is and journals the restore;
// without a workspace, the copy becomes the workspace, journal and all, under a new journal
// identity.
TEST_F(WorkspaceBackupTest, RestoreWithoutCopyOrWithoutWorkspace)
{
    ASSERT_TRUE(SaveStore(treeOf(1), m_store).ok);
    const storebackup::BackupResult plain =
        storebackup::MakeBackup(m_store, {}, localTime(2026, 12, 11, 8));
    ASSERT_TRUE(plain.ok);
    std::string journalId;
    std::string withCopy;
    {
        ws::Workspace live;
        startJournal(live, m_store);
        live.Append(entryNamed("前", 1000));
        setOtherTable(live, "present");
        journalId = ws::JournalIdentity(live);
        const storebackup::BackupResult b =
            storebackup::MakeBackup(m_store, m_policy, localTime(2026, 12, 11, 9));
        ASSERT_TRUE(b.ok);
        withCopy = b.path;
    }
    // Restored: the same content in a new file.
    const CCustomerDB tree = treeOf(1);
    ASSERT_TRUE(SaveStore(tree, m_store).ok);
    const FileIdentity identity = IdentityOfPath(m_store);

    ws::RestoreJournal j = ws::RestoreWorkspace(plain.path, m_store, tree, identity, {"u", "w"});
    ASSERT_TRUE(j.ok) << j.error;
    EXPECT_FALSE(j.fromCopy);
    {
        ws::Workspace live;
        ASSERT_TRUE(live.Open(m_store, false).usable());
        EXPECT_EQ(summaries(live), (std::vector<std::string>{"前", ws::kRestoreSummary}));
        EXPECT_EQ(live.Query().back().reason, "MXR-20261211-080000.DAT");
        EXPECT_EQ(otherTable(live), "present");
    }

    fs::remove(ws::WorkspacePathFor(m_store));
    ASSERT_TRUE(SaveStore(tree, m_store).ok);
    j = ws::RestoreWorkspace(withCopy, m_store, tree, IdentityOfPath(m_store), {"u", "w"});
    ASSERT_TRUE(j.ok) << j.error;
    EXPECT_TRUE(j.wholeCopy);
    ws::Workspace live;
    ASSERT_TRUE(live.Open(m_store, false).usable());
    EXPECT_EQ(summaries(live), (std::vector<std::string>{"前", ws::kRestoreSummary}));
    EXPECT_EQ(live.Query().back().reason, "MXR-20261211-090000.DAT");
    EXPECT_NE(ws::JournalIdentity(live), journalId);

    // No workspace and no copy: nothing to journal in, and none is made.
    fs::remove(ws::WorkspacePathFor(m_store));
    j = ws::RestoreWorkspace(plain.path, m_store, tree, identity, {"u", "w"});
    EXPECT_TRUE(j.ok) << j.error;
    EXPECT_EQ(j.entryId, 0);
    EXPECT_FALSE(fs::exists(ws::WorkspacePathFor(m_store)));
}
