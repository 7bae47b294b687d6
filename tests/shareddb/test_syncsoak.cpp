// Randomised rounds against the real server: folders add and edit records, restore older copies
// of their stores or lose them to a copy kept aside, are killed mid-sync and sync concurrently;
// the database is dumped and later restored from that dump. After the last round every folder
// and the database hold the union of all records, each once.
//
// MXR_SYNC_SOAK_ROUNDS (default 10) and MXR_SYNC_SOAK_SEED (default fixed) make longer or other
// runs on request.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <set>

#include "fileutil.h"
#include "pgtestcase.h"
#include "samplerecords.h"
#include "shareddb/pgconnection.h"
#include "store/recordcodec.h"
#include "shareddb/sync.h"
#include "store/store.h"
#include "synctesthelp.h"

namespace fs = std::filesystem;
using namespace shareddb;
using namespace recordcodec;

namespace {

int envInt(const char* name, int fallback)
{
    const char* v = std::getenv(name);
    return v && *v ? std::atoi(v) : fallback;
}

struct Place {
    const char* customer;
    const char* cable;
    const char* set;
};
// Two spellings of one customer and cable: the folded names are one place.
const Place kPlaces[] = {{"Tokyo", "Line1", "2024"}, {"TOKYO", "line1", "2024"},
                         {"Osaka", "L2", "S"},       {"Nagoya", "K", "2025"},
                         {"Osaka", "L2", "T"}};

CMeasRecord makeRecord(int dataNo)
{
    CMeasRecord r;
    r.DataNo = dataNo;
    r.TestVoltage = 1.0 + dataNo % 5;
    r.StartTime = {45000.0 + dataNo / 1000.0, OleDateTime::Valid};
    sample::addPoints(r, 40, [dataNo](int i) { return 10.0 / (1 + i) + dataNo; });
    r.LastCurrent = r.Points.back().value.toDouble();
    return r;
}

CMeasData& setOf(CCustomerDB& db, const Place& p)
{
    return synctest::setOf(db, p.customer, p.cable, p.set);
}

// Every record as its place's folded names and its content key, sorted; duplicates stay.
std::vector<std::string> keysOf(const CCustomerDB& db)
{
    std::vector<std::string> keys;
    for (int c = 0; c < db.customers.Count(); ++c)
        for (int k = 0; k < db.customers.At(c).cables.Count(); ++k)
            for (int s = 0; s < db.customers.At(c).cables.At(k).sets.Count(); ++s) {
                const CMeasData& set = db.customers.At(c).cables.At(k).sets.At(s);
                for (const CMeasRecord& r : set.Records())
                    keys.push_back(RecordPathKey(db.customers.At(c).name,
                                                 db.customers.At(c).cables.At(k).name, set.name,
                                                 ContentKey(r)));
            }
    std::sort(keys.begin(), keys.end());
    return keys;
}

class SyncSoakTest : public PgTestCase<> {
protected:
    SyncTarget folder(const std::string& name)
    {
        return synctest::folder(server().params(m_db), m_tmp, name);
    }

    // The sync in a child process, so that it can be killed at any point.
    static pid_t startSync(const SyncTarget& t)
    {
        const pid_t pid = fork();
        if (pid == 0) {
            const SyncSummary s = RunSync(t, SyncMode::Sync);
            _exit(s.ok ? 0 : 1);
        }
        return pid;
    }
    static bool finished(pid_t pid)
    {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0) {
        }
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

};

TEST_F(SyncSoakTest, EveryFolderAndTheDatabaseEndWithTheUnion)
{
    const int rounds = std::max(envInt("MXR_SYNC_SOAK_ROUNDS", 10), 4);
    const unsigned seed = static_cast<unsigned>(envInt("MXR_SYNC_SOAK_SEED", 20261211));
    SCOPED_TRACE("seed " + std::to_string(seed) + ", rounds " + std::to_string(rounds));
    std::mt19937 rng(seed);
    auto chance = [&](int percent) { return static_cast<int>(rng() % 100) < percent; };

    std::vector<SyncTarget> folders{folder("A"), folder("B"), folder("C")};
    // Copies of each store taken right after a complete sync, for later restores.
    std::vector<std::vector<std::string>> backups(folders.size());
    std::set<std::string> expected; // path keys of every record ever added
    std::vector<std::pair<Place, CMeasRecord>> made;
    int nextDataNo = 1;
    // The database is dumped in one round and restored from it a few rounds later; in between
    // no folder loses records (else they could be lost on both sides, rightly).
    const int dumpRound = rounds / 4, restoreRound = dumpRound + 2;

    auto replaceStore = [](const SyncTarget& t, const std::string& bytes) {
        testfile::writeAll(t.storePath + ".new", bytes);
        fs::rename(t.storePath + ".new", t.storePath);
    };

    for (int round = 0; round < rounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const bool quietFolders = round >= dumpRound && round <= restoreRound;
        // Changes in the folders.
        for (std::size_t f = 0; f < folders.size(); ++f) {
            CCustomerDB db;
            ASSERT_TRUE(LoadStore(db, folders[f].storePath).ok);
            const int adds = static_cast<int>(rng() % 4) + (f == 0 && round % 3 == 0 ? 40 : 0);
            for (int i = 0; i < adds; ++i) {
                const Place& p = kPlaces[rng() % std::size(kPlaces)];
                CMeasRecord r = makeRecord(nextDataNo++);
                setOf(db, p).InsertRecord(r);
                made.emplace_back(p, r);
            }
            // The same measurement taken into a second folder (an import).
            if (!made.empty() && chance(30)) {
                const auto& [p, r] = made[rng() % made.size()];
                CMeasData& set = setOf(db, p);
                const std::string key = ContentKey(r);
                bool there = false;
                for (const CMeasRecord& have : set.Records())
                    there = there || ContentKey(have) == key;
                if (!there)
                    set.InsertRecord(r);
            }
            // An edit of a record that changes its state, not its identity.
            if (chance(40) && db.RecordCount() > 0) {
                for (int c = 0; c < db.customers.Count(); ++c)
                    for (int k = 0; k < db.customers.At(c).cables.Count(); ++k)
                        for (int s = 0; s < db.customers.At(c).cables.At(k).sets.Count(); ++s) {
                            CMeasData& set = db.customers.At(c).cables.At(k).sets.At(s);
                            if (set.RecordCount() > 0 && chance(30))
                                set.RecordAt(rng() % set.RecordCount()).UsedPoints =
                                    10 + static_cast<int>(rng() % 30);
                        }
            }
            ASSERT_TRUE(SaveStore(db, folders[f].storePath).ok);
            for (const std::string& k : keysOf(db))
                expected.insert(k);
        }
        // Syncs: some killed at a random moment, some running together.
        std::vector<std::size_t> order{0, 1, 2};
        std::shuffle(order.begin(), order.end(), rng);
        if (chance(50)) {
            std::vector<pid_t> together;
            for (std::size_t f : order)
                together.push_back(startSync(folders[f]));
            for (pid_t p : together)
                finished(p);
        }
        for (std::size_t f : order) {
            if (chance(35)) {
                const pid_t p = startSync(folders[f]);
                usleep(static_cast<useconds_t>(rng() % 60000));
                kill(p, SIGKILL);
                finished(p);
            }
            const pid_t p = startSync(folders[f]);
            const bool ok = finished(p);
            EXPECT_TRUE(ok) << "sync of folder " << f;
            if (!ok || quietFolders)
                continue;
            // Right after a complete sync the folder's records are all in the database, so it
            // may now lose them: keep a copy, restore an older one, or lose the store.
            backups[f].push_back(testfile::readAll(folders[f].storePath));
            if (chance(20) && backups[f].size() > 1)
                replaceStore(folders[f], backups[f][rng() % (backups[f].size() - 1)]);
            else if (chance(10))
                fs::rename(folders[f].storePath, folders[f].storePath + ".changed-" +
                                                     std::to_string(round));
        }
        if (round == dumpRound) {
            ASSERT_TRUE(server().dumpDatabase(m_db, "soak.dump"));
        }
        if (round == restoreRound) {
            ASSERT_TRUE(server().restoreDatabase(m_db, "soak.dump"));
        }
    }

    // Two quiet rounds settle every conflict; a third proves there is nothing left to do.
    for (int pass = 0; pass < 2; ++pass)
        for (const SyncTarget& t : folders)
            EXPECT_TRUE(RunSync(t, SyncMode::Sync).ok);
    for (const SyncTarget& t : folders)
        EXPECT_TRUE(RunSync(t, SyncMode::Sync).nothingToDo);
    const SyncTarget fresh = folder("Fresh");
    EXPECT_TRUE(RunSync(fresh, SyncMode::Sync).ok);

    const std::vector<std::string> union_(expected.begin(), expected.end());
    PgConnection c(server().params(m_db));
    EXPECT_EQ(std::stoul(std::string(c.exec("SELECT count(*) FROM records").raw(0, 0))),
              union_.size());
    CCustomerDB reference;
    ASSERT_TRUE(LoadStore(reference, fresh.storePath).ok);
    EXPECT_TRUE(keysOf(reference) == union_) << keysOf(reference).size() << " of "
                                             << union_.size();
    for (const SyncTarget& t : folders) {
        CCustomerDB db;
        ASSERT_TRUE(LoadStore(db, t.storePath).ok);
        EXPECT_TRUE(keysOf(db) == union_)
            << t.workstation << ": " << keysOf(db).size() << " of " << union_.size();
        EXPECT_TRUE(synctest::contents(db) == synctest::contents(reference)) << t.workstation;
    }
}

} // namespace
