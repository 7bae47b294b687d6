// Synchronising application folders through a real PostgreSQL server started by the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <filesystem>
#include <memory>

#include "fileutil.h"
#include "pgtestcase.h"
#include "samplerecords.h"
#include "shareddb/pgconnection.h"
#include "store/recordcodec.h"
#include "shareddb/schema.h"
#include "shareddb/sync.h"
#include "store/store.h"
#include "synctesthelp.h"

namespace fs = std::filesystem;
using namespace shareddb;

namespace {

CMeasRecord makeRecord(int dataNo, double kv, int points = 50)
{
    CMeasRecord r;
    r.DataNo = dataNo;
    r.TestVoltage = kv;
    r.StartTime = {45000.0 + dataNo / 100.0, OleDateTime::Valid};
    sample::addPoints(r, points, [dataNo](int i) { return 10.0 / (1 + i) + dataNo; });
    r.LastCurrent = r.Points.back().value.toDouble();
    return r;
}

using synctest::contents;
using synctest::setOf;

class SharedDbTest : public PgTestCase<> {
protected:
    SyncTarget folder(const std::string& name)
    {
        return synctest::folder(server().params(m_db), m_tmp, name);
    }
    static CCustomerDB load(const SyncTarget& t)
    {
        CCustomerDB db;
        EXPECT_TRUE(LoadStore(db, t.storePath).ok);
        return db;
    }
    static void save(const SyncTarget& t, const CCustomerDB& db)
    {
        ASSERT_TRUE(SaveStore(db, t.storePath).ok);
    }
    static SyncSummary sync(const SyncTarget& t, const SyncHooks& hooks = {})
    {
        SyncSummary s = RunSync(t, SyncMode::Sync, hooks);
        EXPECT_TRUE(s.ok) << s.message;
        return s;
    }
    int64_t count(const std::string& what)
    {
        PgConnection c(server().params(m_db));
        return std::stoll(std::string(c.exec("SELECT count(*) FROM " + what).raw(0, 0)));
    }

};

TEST_F(SharedDbTest, TwoFoldersEndWithTheUnionAndNoDuplicates)
{
    const SyncTarget a = folder("A"), b = folder("B");
    CCustomerDB da, dbb;
    setOf(da, "Tokyo", "Line1", "2024").InsertRecord(makeRecord(1, 1.0));
    setOf(da, "Tokyo", "Line1", "2024").InsertRecord(makeRecord(2, 2.0));
    setOf(da, "Osaka", "L", "S").InsertRecord(makeRecord(3, 1.0));
    // The same customer under other ASCII case, a set both have and one only B has.
    setOf(dbb, "TOKYO", "line1", "2024").InsertRecord(makeRecord(4, 3.0));
    setOf(dbb, "TOKYO", "line1", "2024").InsertRecord(makeRecord(1, 1.0));
    setOf(dbb, "Nagoya", "K", "S").InsertRecord(makeRecord(5, 1.5));
    save(a, da);
    save(b, dbb);

    EXPECT_EQ(sync(a).sent, 3);
    const SyncSummary sb = sync(b);
    EXPECT_EQ(sb.sent, 2); // record 1 is already there
    EXPECT_EQ(sb.received, 2);
    EXPECT_EQ(sync(a).received, 2);

    const CCustomerDB ra = load(a), rb = load(b);
    EXPECT_EQ(ra.RecordCount(), 5u);
    EXPECT_TRUE(contents(ra) == contents(rb));
    EXPECT_EQ(rb.customers.At(rb.customers.Find("tokyo")).name, "TOKYO"); // B's own spelling
    EXPECT_EQ(count("records"), 5);
    EXPECT_EQ(count("customers"), 3);

    // Repeated syncs change nothing and are answered by the quick check.
    const std::string bytesA = testfile::readAll(a.storePath);
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(sync(a).nothingToDo);
        EXPECT_TRUE(sync(b).nothingToDo);
    }
    EXPECT_TRUE(testfile::readAll(a.storePath) == bytesA);
    EXPECT_EQ(count("records"), 5);

    // Deletions never travel: a record the database holds and the store lacks is fetched
    // again, whatever the state file remembers.
    CCustomerDB edited = load(a);
    setOf(edited, "Osaka", "L", "S").RemoveRecordAt(0);
    save(a, edited);
    const SyncSummary after = sync(a);
    EXPECT_EQ(after.received, 1);
    EXPECT_EQ(load(a).RecordCount(), 5u);
    EXPECT_EQ(count("records"), 5);
}

// The store replaced by an older copy (a restored backup, or a synced file kept aside by the
// program's exit save): every record it lost comes back, and status says a sync is pending.
TEST_F(SharedDbTest, AStoreRestoredFromAnOlderBackupGetsEveryRecordBack)
{
    const SyncTarget a = folder("A"), b = folder("B");
    CCustomerDB db2;
    setOf(db2, "C", "K", "S").InsertRecord(makeRecord(1, 1.0));
    setOf(db2, "C", "K", "S").InsertRecord(makeRecord(2, 2.0));
    save(b, db2);
    sync(b);
    const std::string older = testfile::readAll(b.storePath);
    CCustomerDB da;
    for (int i = 3; i <= 6; ++i)
        setOf(da, "C", "K", i % 2 ? "S" : "T").InsertRecord(makeRecord(i, 1.0));
    save(a, da);
    sync(a);
    EXPECT_EQ(sync(b).received, 4);
    EXPECT_TRUE(sync(b).nothingToDo);

    // A restore replaces the file (a new file under the old name).
    testfile::writeAll(b.storePath + ".restore", older);
    fs::rename(b.storePath + ".restore", b.storePath);
    EXPECT_TRUE(ReadDbStatus(b).pending);
    const SyncSummary again = sync(b);
    EXPECT_EQ(again.received, 4);
    EXPECT_EQ(again.sent, 0);
    EXPECT_EQ(load(b).RecordCount(), 6u);
    EXPECT_TRUE(sync(b).nothingToDo);
    EXPECT_FALSE(ReadDbStatus(b).pending);
    EXPECT_EQ(count("records"), 6);
}

// A push that commits after a later one (its records took their places in the table earlier)
// is still seen by a workstation that synchronised in between.
TEST_F(SharedDbTest, APushThatCommitsLateIsNotMissed)
{
    const SyncTarget h1 = folder("H1"), h2 = folder("H2"), h3 = folder("H3");
    // The places exist already: a push that adds a name holds others adding the same name.
    CCustomerDB d1, d2;
    setOf(d1, "C", "Long", "S").InsertRecord(makeRecord(99, 1.0, 20));
    setOf(d2, "C", "Short", "S").InsertRecord(makeRecord(98, 1.0, 20));
    save(h1, d1);
    save(h2, d2);
    sync(h1);
    sync(h2);
    sync(h3);
    d1 = load(h1);
    d2 = load(h2);
    for (int i = 0; i < 60; ++i)
        setOf(d1, "C", "Long", "S").InsertRecord(makeRecord(100 + i, 1.0, 20));
    setOf(d2, "C", "Short", "S").InsertRecord(makeRecord(1, 1.0));
    save(h1, d1);
    save(h2, d2);

    std::mutex m;
    std::condition_variable cv;
    bool copied = false, release = false;
    SyncHooks slow;
    slow.beforeCommit = [&](PgConnection&, int) {
        std::unique_lock lock(m);
        copied = true;
        cv.notify_all();
        cv.wait(lock, [&] { return release; });
    };
    std::thread longPush([&] { EXPECT_TRUE(RunSync(h1, SyncMode::Sync, slow).ok); });
    {
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return copied; });
    }
    EXPECT_EQ(sync(h2).sent, 1);
    EXPECT_EQ(sync(h3).received, 1);
    {
        std::lock_guard lock(m);
        release = true;
    }
    cv.notify_all();
    longPush.join();

    const SyncSummary late = sync(h3);
    EXPECT_FALSE(late.nothingToDo);
    EXPECT_EQ(late.received, 60);
    EXPECT_EQ(load(h3).RecordCount(), 63u);
}

// The database restored from a dump taken before some pushes: the folders that hold those
// records send them again, and a new folder ends with every record.
TEST_F(SharedDbTest, ADatabaseRestoredFromAnOlderDumpGetsNewerRecordsBack)
{
    const SyncTarget a = folder("A"), b = folder("B"), fresh = folder("New");
    CCustomerDB d;
    for (int i = 0; i < 6; ++i)
        setOf(d, "C", "K", "S").InsertRecord(makeRecord(i, 1.0));
    save(a, d);
    sync(a);
    sync(b);
    ASSERT_TRUE(server().dumpDatabase(m_db, "before.dump"));

    CCustomerDB more = load(a);
    for (int i = 6; i < 10; ++i)
        setOf(more, "C", "K", "S").InsertRecord(makeRecord(i, 1.0));
    setOf(more, "C", "K", "S").RecordAt(0).UsedPoints = 20; // an edit after the dump too
    save(a, more);
    sync(a);
    sync(b);
    ASSERT_EQ(load(b).RecordCount(), 10u);

    ASSERT_TRUE(server().restoreDatabase(m_db, "before.dump"));
    ASSERT_EQ(count("records"), 6);
    for (int round = 0; round < 2; ++round)
        for (const SyncTarget* t : {&a, &b})
            sync(*t);
    EXPECT_EQ(count("records"), 10);
    sync(fresh);
    const CCustomerDB rf = load(fresh);
    EXPECT_EQ(rf.RecordCount(), 10u);
    EXPECT_TRUE(contents(rf) == contents(load(a)));
    EXPECT_TRUE(contents(rf) == contents(load(b)));
}

// A record whose body was damaged on the server blocks nobody: the rest is fetched, the
// damaged one is named and asked for again at the next sync.
TEST_F(SharedDbTest, ADamagedRecordIsSkippedNamedAndAskedForAgain)
{
    const SyncTarget a = folder("A"), b = folder("B");
    CCustomerDB d;
    for (int i = 1; i <= 4; ++i)
        setOf(d, "C", "K", "S").InsertRecord(makeRecord(i, 1.0 + i));
    save(a, d);
    sync(a);
    ASSERT_TRUE(server().sql("UPDATE records SET body = '\\x0102' WHERE data_no = 3", m_db));

    for (int attempt = 0; attempt < 2; ++attempt) {
        const SyncSummary s = sync(b);
        EXPECT_FALSE(s.nothingToDo);
        EXPECT_EQ(s.received, attempt == 0 ? 3 : 0);
        ASSERT_EQ(s.skipped.size(), 1u);
        EXPECT_EQ(s.skipped[0].customer, "C");
        EXPECT_EQ(s.skipped[0].set, "S");
        EXPECT_EQ(s.skipped[0].dataNo, 3);
        EXPECT_DOUBLE_EQ(s.skipped[0].testVoltage, 4.0);
        EXPECT_EQ(s.skipped[0].startTime, makeRecord(3, 4.0).StartTime);
    }
    EXPECT_EQ(load(b).RecordCount(), 3u);
    // Mended on the server (a sync from a folder that holds it sends it again), it arrives.
    CCustomerDB ea = load(a);
    setOf(ea, "C", "K", "S").RecordAt(2).UsedPoints = 10;
    save(a, ea);
    sync(a);
    EXPECT_EQ(sync(b).received, 1);
    EXPECT_TRUE(sync(b).skipped.empty());
    EXPECT_EQ(load(b).RecordCount(), 4u);
}

// The server keeps every replaced revision itself, and the sync role can do what a sync needs
// and no more.
TEST_F(SharedDbTest, HistoryIsKeptByTheServerAndTheSyncRoleHasLeastRights)
{
    ASSERT_TRUE(server().sql("DO $$ BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = "
                              "'syncer') THEN CREATE ROLE syncer LOGIN; END IF; END $$"));
    ASSERT_TRUE(server().sql("GRANT mxr_sync TO syncer"));
    SyncTarget a = folder("A"), b = folder("B");
    for (SyncTarget* t : {&a, &b})
        for (auto& [k, v] : t->db.params)
            if (k == "user")
                v = "syncer";
    CCustomerDB d;
    setOf(d, "C", "K", "S").InsertRecord(makeRecord(1, 1.0));
    save(a, d);
    EXPECT_EQ(sync(a).sent, 1);
    CCustomerDB ea = load(a);
    setOf(ea, "C", "K", "S").RecordAt(0).UsedPoints = 30;
    save(a, ea);
    EXPECT_EQ(sync(a).sent, 1);
    EXPECT_EQ(sync(b).received, 1);
    EXPECT_EQ(count("record_history"), 1);

    PgConnection syncer(a.db.params);
    EXPECT_THROW(syncer.exec("DELETE FROM records"), PgError);
    EXPECT_THROW(syncer.exec("UPDATE record_history SET workstation = 'x'"), PgError);
    EXPECT_THROW(syncer.exec("DROP TABLE record_history"), PgError);
    // A change behind the sync's back is kept in the history and raises the revision, so every
    // workstation sees it.
    syncer.exec("UPDATE records SET used_points = 7, body = body || '\\x00'::bytea, "
                "state_hash = state_hash + 1");
    EXPECT_EQ(count("record_history"), 2);
    PgResult rev = syncer.exec("SELECT revision, workstation FROM records");
    EXPECT_EQ(rev.raw(0, 0), "3");
    EXPECT_EQ(rev.raw(0, 1), "syncer");
}

// A store that has synchronised with one database does not merge into another without a word.
TEST_F(SharedDbTest, AnotherDatabaseIsRefusedUntilTheSwitchIsConfirmed)
{
    SyncTarget a = folder("A");
    CCustomerDB d;
    setOf(d, "C", "K", "S").InsertRecord(makeRecord(1, 1.0));
    save(a, d);
    sync(a);
    const std::string other = server().createDatabase();
    DbSettings settings;
    settings.params = server().params(other);
    ASSERT_TRUE(InitDatabase(settings).ok);
    a.db.params = settings.params;

    const SyncSummary refused = RunSync(a, SyncMode::Sync);
    EXPECT_FALSE(refused.ok);
    EXPECT_TRUE(refused.otherDatabase);
    EXPECT_NE(refused.message.find("別の共有データベース"), std::string::npos);
    EXPECT_EQ(count("records"), 1);
    PgConnection c(settings.params);
    EXPECT_EQ(c.exec("SELECT count(*) FROM records").raw(0, 0), "0");

    a.switchDatabase = true;
    EXPECT_EQ(sync(a).sent, 1);
    a.switchDatabase = false;
    EXPECT_TRUE(sync(a).nothingToDo); // the store now belongs to the new database
}

TEST_F(SharedDbTest, ConflictLaterRevisionWinsAndTheOtherStaysInHistory)
{
    const SyncTarget a = folder("A"), b = folder("B");
    CCustomerDB d;
    setOf(d, "C", "K", "S").InsertRecord(makeRecord(1, 1.0));
    save(a, d);
    sync(a);
    sync(b);

    CCustomerDB ea = load(a);
    setOf(ea, "C", "K", "S").RecordAt(0).UsedPoints = 30;
    save(a, ea);
    EXPECT_EQ(sync(a).sent, 1);

    CCustomerDB eb = load(b);
    setOf(eb, "C", "K", "S").RecordAt(0).UsedPoints = 40;
    save(b, eb);
    const SyncSummary sb = sync(b);
    ASSERT_EQ(sb.conflicts.size(), 1u);
    EXPECT_EQ(sb.conflicts[0].supersededBy, "A");
    EXPECT_EQ(sb.conflicts[0].supersededRevision, 2);
    EXPECT_EQ(sb.conflicts[0].winningRevision, 3);
    EXPECT_EQ(sb.conflicts[0].dataNo, 1);
    EXPECT_EQ(count("record_history"), 2); // revisions 1 and 2

    EXPECT_EQ(sync(a).received, 1);
    EXPECT_EQ(setOf(*std::make_unique<CCustomerDB>(load(a)), "C", "K", "S").RecordAt(0).UsedPoints,
              40);
    EXPECT_TRUE(SaveStoreToBytes(load(a)) == SaveStoreToBytes(load(b)));
}

TEST_F(SharedDbTest, ConnectionDroppedMidPushLeavesWholeSetsAndTheNextSyncCompletes)
{
    const SyncTarget a = folder("A");
    CCustomerDB d;
    for (int s = 0; s < 3; ++s)
        for (int r = 0; r < 4; ++r)
            setOf(d, "C", "K", "S" + std::to_string(s)).InsertRecord(makeRecord(s * 10 + r, r));
    save(a, d);
    const std::string before = testfile::readAll(a.storePath);

    SyncHooks hooks;
    hooks.beforeCommit = [&](PgConnection& c, int setIndex) {
        if (setIndex == 1)
            server().sql("SELECT pg_terminate_backend(" + std::to_string(c.backendPid()) + ")",
                          m_db);
    };
    const SyncSummary broken = RunSync(a, SyncMode::Sync, hooks);
    EXPECT_FALSE(broken.ok);
    EXPECT_NE(broken.message.find("同期に失敗"), std::string::npos) << broken.message;
    EXPECT_EQ(count("records"), 4); // the first set whole, the second not at all
    EXPECT_TRUE(testfile::readAll(a.storePath) == before);

    const SyncSummary next = sync(a);
    EXPECT_EQ(next.sent, 8);
    EXPECT_EQ(count("records"), 12);
}

TEST_F(SharedDbTest, CancelBetweenSetsKeepsWholeSets)
{
    const SyncTarget a = folder("A");
    CCustomerDB d;
    for (int s = 0; s < 3; ++s)
        setOf(d, "C", "K", "S" + std::to_string(s)).InsertRecord(makeRecord(s, 1.0));
    save(a, d);
    SyncHooks hooks;
    int progressCalls = 0;
    hooks.progress = [&](int done, int total) {
        ++progressCalls;
        EXPECT_LE(done, total);
    };
    hooks.cancelled = [&] { return count("records") >= 1; };
    const SyncSummary s = RunSync(a, SyncMode::Sync, hooks);
    EXPECT_TRUE(s.ok);
    EXPECT_TRUE(s.cancelled);
    EXPECT_EQ(count("records"), 1);
    EXPECT_GT(progressCalls, 0);
    EXPECT_EQ(sync(a).sent, 2);
}

TEST_F(SharedDbTest, RefusedConnectionsLeaveTheStoreUntouched)
{
    const SyncTarget base = folder("A");
    CCustomerDB d;
    setOf(d, "C", "K", "S").InsertRecord(makeRecord(1, 1.0));
    save(base, d);
    const std::string before = testfile::readAll(base.storePath);

    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> params;
        const char* reason; // part of libpq's message
    };
    const Case cases[] = {
        {"wrong password",
         {{"host", server().passwordSocketDir()},
          {"port", std::to_string(server().port())},
          {"user", "pwuser"},
          {"dbname", m_db},
          {"password", "wrong-password"}},
         "password authentication failed"},
        {"unreachable",
         {{"host", (m_tmp / "no-server").string()}, {"port", "5"}, {"dbname", m_db}},
         "No such file or directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SyncTarget t = base;
        t.db.params = c.params;
        const SyncSummary s = RunSync(t, SyncMode::Sync);
        EXPECT_FALSE(s.ok);
        EXPECT_NE(s.message.find("共有データベースに接続できません"), std::string::npos);
        EXPECT_NE(s.message.find(c.reason), std::string::npos) << s.message;
        EXPECT_TRUE(testfile::readAll(base.storePath) == before);
    }
    // The right password over the same socket works (the password case failed for its reason).
    SyncTarget ok = base;
    ok.db.params = cases[0].params;
    ok.db.params.back().second = "right-password";
    EXPECT_TRUE(RunSync(ok, SyncMode::Push).ok);
}

TEST_F(SharedDbTest, InvalidCp932AndWideTextsRoundTripByteExact)
{
    const SyncTarget a = folder("A"), b = folder("B");
    CCustomerDB d;
    CMeasRecord r = makeRecord(1, 1.0);
    r.Condition.Remarks = std::string("\x82\xa0\xff\x81", 4); // invalid and cut characters
    r.Condition.Weather = std::string("\x00\x7f\x80", 3);
    setOf(d, "X", std::string("\x81\x7f\xfd", 3), "\x82").InsertRecord(r);
    std::string bytes = SaveStoreToBytes(d);
    // The customer "X" written in the 16-bit text form as "日本" (U+65E5 U+672C).
    ASSERT_EQ(bytes.substr(73, 2), std::string("\x01X", 2));
    bytes.replace(73, 2, std::string("\xff\xfe\xff\x02\xe5\x65\x2c\x67", 8));
    testfile::writeAll(a.storePath, bytes);

    sync(a);
    sync(b);
    const CCustomerDB ra = load(a), rb = load(b);
    ASSERT_EQ(rb.RecordCount(), 1u);
    EXPECT_EQ(rb.customers.At(0).name, "\x93\xfa\x96\x7b"); // 日本 in CP932
    EXPECT_TRUE(SaveStoreToBytes(rb) == SaveStoreToBytes(ra));
    EXPECT_TRUE(testfile::readAll(b.storePath) == SaveStoreToBytes(ra));
}

TEST_F(SharedDbTest, SyncRefusesADatabaseWithoutTables)
{
    const SyncTarget a = folder("A");
    SyncTarget t = a;
    const std::string empty = server().createDatabase();
    t.db.params = server().params(empty);
    const SyncSummary s = RunSync(t, SyncMode::Sync);
    EXPECT_FALSE(s.ok);
    EXPECT_NE(s.message.find("db init"), std::string::npos);
}

} // namespace
