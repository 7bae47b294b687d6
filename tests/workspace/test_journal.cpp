// The journal kept in step with the store's saves: a real store file, a real SQLite workspace
// beside it, and real kills of a saving process.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "samplerecords.h"
#include "store/store.h"
#include "store/storesession.h"
#include "workspace/storejournal.h"
#include "workspace/treediff.h"
#include "wstestfolder.h"

namespace {

CMeasRecord record(double voltage)
{
    CMeasRecord r;
    r.StartTime = *OleDateTime::fromCalendar({2026, 5, 6, 9, 0, 0});
    r.TestVoltage = voltage;
    r.DataNo = static_cast<int32_t>(voltage);
    sample::addPoints(r, 4, [voltage](int i) { return voltage + i; });
    return r;
}

// A store session with its journal, as the program runs them.
struct Program {
    explicit Program(const std::string& store)
    {
        session.SetDataFilePath(store);
        StoreOptions o;
        o.syncToDisk = false;
        session.SetStoreOptions(o);
        session.SetSaveWitness(&journal);
        journal.SetWarning([this](const std::string& w) { warnings.push_back(w); });
        session.Load();
        journal.Attach(store);
        journal.AfterLoad(session.Store(), session.Identity());
    }
    // Registers a record as the transfer sheet does and saves.
    void Register(double voltage)
    {
        const CCustomerDB before = session.Store();
        cmd::ChangeList changes;
        cmd::Run(session.Store(),
                 cmd::RegisterReceived{{"alpha", "C1", "S1"}, {record(voltage)}, {}, false},
                 &changes);
        journal.Stage(before, session.Store(), changes.changes);
        ASSERT_EQ(session.Save().status, SaveStatus::Saved);
    }
    std::vector<ws::JournalEntry> Entries()
    {
        return journal.Open() ? journal.Open()->Query() : std::vector<ws::JournalEntry>{};
    }

    StoreSession session;
    ws::StoreJournal journal;
    std::vector<std::string> warnings;
};

void saveTree(const CCustomerDB& tree, const std::string& path)
{
    StoreOptions o;
    o.syncToDisk = false;
    ASSERT_TRUE(SaveStore(tree, path, o).ok);
}

TEST(Workspace, OpensCreatesAndSetsADamagedFileAside)
{
    WsTestFolder dir;
    const std::string store = dir / "MXR.DAT";
    EXPECT_EQ(ws::WorkspacePathFor(store), dir / "MXR.workspace.sqlite");
    ws::Workspace w;
    EXPECT_EQ(w.Open(store, false).status, ws::OpenStatus::Missing);
    EXPECT_EQ(w.Open(store, true).status, ws::OpenStatus::Created);
    w.Close();
    EXPECT_EQ(w.Open(store, false).status, ws::OpenStatus::Opened);
    w.Close();

    { std::ofstream(ws::WorkspacePathFor(store), std::ios::trunc) << std::string(4096, 'x'); }
    const ws::OpenOutcome replaced = w.Open(store, false);
    EXPECT_EQ(replaced.status, ws::OpenStatus::Replaced);
    EXPECT_TRUE(std::filesystem::exists(replaced.setAsidePath));
    EXPECT_EQ(w.EntryCount(), 0u);
    w.Db().Exec("PRAGMA user_version=99");
    w.Close();
    EXPECT_EQ(w.Open(store, false).status, ws::OpenStatus::TooNew);
}

TEST(Workspace, QueriesByPathKeyTimeAndLimit)
{
    WsTestFolder dir;
    ws::Workspace w;
    ASSERT_TRUE(w.Open(dir / "MXR.DAT", true).usable());
    auto entry = [](int64_t time, std::string customer, std::string set, std::string key) {
        ws::JournalEntry e;
        e.time = time;
        e.command = "edit-condition";
        ws::JournalItem i;
        i.customer = std::move(customer);
        i.cable = "C";
        i.set = std::move(set);
        i.contentKey = std::move(key);
        i.fields = {{"天候", "晴", "雨"}};
        e.items = {i};
        return e;
    };
    w.Append(entry(100, "顧客A", "S1", "k1"));
    w.Append(entry(200, "顧客A", "S2", "k2"));
    w.Append(entry(300, "顧客B", "S1", "k3"));

    struct Case {
        ws::JournalFilter filter;
        std::vector<int64_t> times;
    } cases[] = {
        {{}, {100, 200, 300}},
        {{.customer = "顧客A"}, {100, 200}},
        {{.customer = "顧客A", .cable = "C", .set = "S2"}, {200}},
        {{.contentKey = "k3"}, {300}},
        {{.since = 200}, {200, 300}},
        {{.until = 200}, {100}},
        {{.limit = 2}, {200, 300}},
    };
    for (const Case& c : cases) {
        std::vector<int64_t> times;
        for (const ws::JournalEntry& e : w.Query(c.filter))
            times.push_back(e.time);
        EXPECT_EQ(times, c.times) << c.filter.customer << c.filter.set << c.filter.since;
    }
    const auto all = w.Query();
    ASSERT_EQ(all[0].items.size(), 1u);
    EXPECT_EQ(all[0].items[0].fields, (std::vector<ws::FieldChange>{{"天候", "晴", "雨"}}));
}

// A long journal is read in two halves on two connections: the result is the one a single
// read gives (the newest-n query reads on one), entries in order with their own items, and a
// filter holds in both halves.
TEST(Workspace, ALongJournalReadsTheSameInHalves)
{
    WsTestFolder dir;
    ws::Workspace w;
    ASSERT_TRUE(w.Open(dir / "MXR.DAT", true).usable());
    w.Db().Exec("PRAGMA synchronous=OFF");
    constexpr int kEntries = 24000;
    {
        sqlite::Transaction t(w.Db());
        for (int i = 0; i < kEntries; ++i) {
            ws::JournalEntry e;
            e.time = 1000 + i;
            e.command = "edit-condition";
            ws::JournalItem item;
            item.customer = i % 3 ? "顧客A" : "顧客B";
            item.cable = "C";
            item.contentKey = std::to_string(i);
            e.items = {item};
            if (i % 1000 == 7)
                e.items.push_back(item); // an entry of two items
            w.Append(e);
        }
        t.Commit();
    }
    const auto halves = w.Query();
    const auto single = w.Query({.limit = kEntries});
    ASSERT_EQ(halves.size(), static_cast<std::size_t>(kEntries));
    EXPECT_TRUE(halves == single);
    for (std::size_t i = 0; i < halves.size(); ++i) {
        ASSERT_EQ(halves[i].items.at(0).contentKey, std::to_string(i)) << i;
        ASSERT_EQ(halves[i].items.size(), i % 1000 == 7 ? 2u : 1u) << i;
    }
    const auto b = w.Query({.customer = "顧客B"});
    EXPECT_EQ(b.size(), static_cast<std::size_t>(kEntries / 3));
    EXPECT_TRUE(b == w.Query({.customer = "顧客B", .limit = kEntries}));
}

TEST(StoreJournal, StartsAtTheFirstChangeAndJournalsEachSave)
{
    WsTestFolder dir;
    const std::string store = dir / "MXR.DAT";
    saveTree(sample::editTree({record(10)}), store);
    {
        Program p(store);
        // A store without a workspace opens as before: nothing is made until a change.
        EXPECT_FALSE(std::filesystem::exists(ws::WorkspacePathFor(store)));
        p.Register(12);
        p.Register(14);
        const auto entries = p.Entries();
        ASSERT_EQ(entries.size(), 3u);
        EXPECT_EQ(entries[0].command, ws::kind::Start);
        EXPECT_EQ(entries[1].command, "register-received");
        EXPECT_EQ(entries[1].summary, "測定データ 1 件の登録");
        EXPECT_FALSE(entries[2].user.empty());
        EXPECT_TRUE(p.warnings.empty());
    }
    // The next run finds the store as the journal left it: nothing new is journaled.
    Program again(store);
    EXPECT_EQ(again.Entries().size(), 3u);
}

TEST(StoreJournal, AChangeMadeOutsideIsJournaledWithWhatDiffers)
{
    WsTestFolder dir;
    const std::string store = dir / "MXR.DAT";
    saveTree(sample::editTree({record(10), record(12)}), store);
    { Program(store).Register(14); }
    CCustomerDB other;
    ASSERT_TRUE(LoadStore(other, store).ok);
    CMeasData& set = sample::setAt(other, "alpha", "C1", "S1");
    set.RemoveRecordAt(0);
    set.RecordAt(0).Condition.Weather = "Snow"; // the file keeps one condition per set
    set.InsertRecord(record(16));
    saveTree(other, store);

    Program p(store);
    const auto entries = p.Entries();
    ASSERT_EQ(entries.back().command, ws::kind::External);
    std::map<ws::ItemChange, int> counts;
    for (const ws::JournalItem& i : entries.back().items)
        ++counts[i.change];
    EXPECT_EQ(counts[ws::ItemChange::Removed], 1);
    EXPECT_EQ(counts[ws::ItemChange::Changed], 2);
    EXPECT_EQ(counts[ws::ItemChange::Added], 1);
    // Journaled once: the next load knows the file.
    EXPECT_EQ(Program(store).Entries().size(), entries.size());
}

// The steps of a journaled save at which the saving program is killed.
enum class KillAt { BeforeJournal, JournalPending, FileReplaced, Finished };

class KillWitness : public ws::StoreJournal {
public:
    explicit KillWitness(KillAt at) : m_at(at) {}
    void Prepare(const FileIdentity& next) override
    {
        if (m_at == KillAt::BeforeJournal)
            ::raise(SIGKILL);
        StoreJournal::Prepare(next);
        if (m_at == KillAt::JournalPending)
            ::raise(SIGKILL);
    }
    void Saved(const FileIdentity& written) override
    {
        if (m_at == KillAt::FileReplaced)
            ::raise(SIGKILL);
        StoreJournal::Saved(written);
        if (m_at == KillAt::Finished)
            ::raise(SIGKILL);
    }

private:
    KillAt m_at;
};

TEST(StoreJournal, AKilledSaveLeavesStoreAndJournalInStep)
{
    for (KillAt at : {KillAt::BeforeJournal, KillAt::JournalPending, KillAt::FileReplaced,
                      KillAt::Finished}) {
        SCOPED_TRACE(static_cast<int>(at));
        WsTestFolder dir;
        const std::string store = dir / ("MXR-" + std::to_string(static_cast<int>(at)) + ".DAT");
        saveTree(sample::editTree({record(10)}), store);
        { Program(store).Register(12); } // the workspace exists with one registration

        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            StoreSession session;
            session.SetDataFilePath(store);
            KillWitness journal(at);
            session.SetSaveWitness(&journal);
            session.Load();
            journal.Attach(store);
            journal.AfterLoad(session.Store(), session.Identity());
            const CCustomerDB before = session.Store();
            cmd::ChangeList changes;
            cmd::Run(session.Store(),
                     cmd::RegisterReceived{{"alpha", "C1", "S1"}, {record(14)}, {}, false},
                     &changes);
            journal.Stage(before, session.Store(), changes.changes);
            session.Save();
            ::_exit(3); // not reached: every step kills
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

        Program p(store);
        const bool stored = sample::setAt(p.session.Store(), "alpha", "C1", "S1").RecordCount() == 3;
        const auto entries = p.Entries();
        int registrations = 0;
        for (const ws::JournalEntry& e : entries) {
            EXPECT_NE(e.command, ws::kind::External) << "the journal lost track of its own save";
            registrations += e.command == "register-received" ? 1 : 0;
        }
        EXPECT_EQ(stored, at == KillAt::FileReplaced || at == KillAt::Finished);
        EXPECT_EQ(registrations, stored ? 2 : 1);
    }
}

} // namespace
