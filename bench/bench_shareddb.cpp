// Sending a 100 MB store (2,000 records of 2,500 points) into an empty shared database, against
// a plain binary COPY of the same record bytes into a one-column table on the same server; and
// a sync with nothing to do; and sending a change journal of 100,000 entries, and the check a
// sync makes when the server already holds them all. Starts its own PostgreSQL server (as
// tests/shareddb does) and skips when none can be started.
// links: mxr_shareddb mxr_pgtestserver
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "pgserver.h"
#include "shareddb/journalsync.h"
#include "shareddb/pgconnection.h"
#include "store/recordcodec.h"
#include "shareddb/schema.h"
#include "shareddb/sync.h"
#include "store/store.h"
#include "workspace/workspace.h"
#include "benchjournal.h"

namespace fs = std::filesystem;
using namespace shareddb;
using namespace recordcodec;

namespace {

constexpr int kRecords = 2000;
constexpr int kPoints = 2500;
constexpr int kPerSet = 10;

struct World {
    std::unique_ptr<PgTestServer> server;
    fs::path dir;
    std::string storePath;
    std::vector<std::string> bodies; // every record's bytes, for the plain COPY
    int64_t storeBytes = 0;
};

World& world()
{
    static World w = [] {
        World w;
        w.server = std::make_unique<PgTestServer>();
        if (!w.server->available())
            return w;
        w.dir = fs::temp_directory_path() / ("mxr-bench-sync-" + std::to_string(getpid()));
        fs::create_directories(w.dir / "DATA");
        w.storePath = (w.dir / "DATA" / "MXR.DAT").string();
        CCustomerDB db;
        for (int i = 0; i < kRecords; ++i) {
            const int set = i / kPerSet;
            CCustomer& cu =
                db.customers.At(db.customers.FindOrInsert("C" + std::to_string(set / 20)));
            CCable& ca = cu.cables.At(cu.cables.FindOrInsert("K" + std::to_string(set / 4)));
            CMeasData& s = ca.sets.At(ca.sets.FindOrInsert("S" + std::to_string(set)));
            CMeasRecord r;
            r.DataNo = i;
            r.TestVoltage = 1.0 + i % kPerSet;
            r.StartTime = {45000.0 + i / 1000.0, OleDateTime::Valid};
            r.Points.resize(kPoints);
            for (int p = 0; p < kPoints; ++p) {
                r.Points[p].elapsed = p * 0.2;
                r.Points[p].value = CDataValue(100.0 / (1 + p) + i * 1e-3);
            }
            r.UsedPoints = kPoints;
            w.bodies.push_back(EncodeRecord(r));
            s.InsertRecord(r);
        }
        SaveStore(db, w.storePath);
        w.storeBytes = static_cast<int64_t>(fs::file_size(w.storePath));
        return w;
    }();
    return w;
}

SyncTarget freshTarget(World& w, const std::string& dbName)
{
    SyncTarget t;
    t.db.params = w.server->params(dbName);
    t.storePath = w.storePath;
    t.statePath = (w.dir / kStateFileName).string();
    t.workstation = "bench";
    fs::remove(t.statePath);
    return t;
}

// The benchmark's world, or null with the benchmark skipped when no server could be started.
World* worldWithServer(benchmark::State& state)
{
    World& w = world();
    if (w.server->available())
        return &w;
    state.SkipWithError(("no PostgreSQL server: " + w.server->skipReason()).c_str());
    return nullptr;
}

void BM_PushIntoEmptyDatabase(benchmark::State& state)
{
    World* withServer = worldWithServer(state);
    if (!withServer)
        return;
    World& w = *withServer;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string name = w.server->createDatabase();
        SyncTarget t = freshTarget(w, name);
        InitDatabase(t.db);
        state.ResumeTiming();
        const SyncSummary s = RunSync(t, SyncMode::Push);
        if (!s.ok || s.sent != kRecords)
            state.SkipWithError(s.message.c_str());
    }
    state.SetBytesProcessed(state.iterations() * w.storeBytes);
}
BENCHMARK(BM_PushIntoEmptyDatabase)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_PlainCopyOfTheSameBytes(benchmark::State& state)
{
    World* withServer = worldWithServer(state);
    if (!withServer)
        return;
    World& w = *withServer;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string name = w.server->createDatabase();
        PgConnection c(w.server->params(name));
        c.exec("CREATE TABLE plain (body bytea)");
        state.ResumeTiming();
        PgTransaction t(c);
        PgBinaryCopy copy;
        for (const std::string& b : w.bodies) {
            copy.beginRow(1);
            copy.field(b);
        }
        copy.finish();
        c.beginCopy("COPY plain FROM STDIN (FORMAT binary)");
        c.putCopyData(copy.data());
        c.endCopy();
        t.commit();
    }
    state.SetBytesProcessed(state.iterations() * w.storeBytes);
}
BENCHMARK(BM_PlainCopyOfTheSameBytes)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_SyncWithNothingToDo(benchmark::State& state)
{
    World* withServer = worldWithServer(state);
    if (!withServer)
        return;
    World& w = *withServer;
    const std::string name = w.server->createDatabase();
    SyncTarget t = freshTarget(w, name);
    InitDatabase(t.db);
    RunSync(t, SyncMode::Sync);
    for (auto _ : state) {
        const SyncSummary s = RunSync(t, SyncMode::Sync);
        if (!s.nothingToDo)
            state.SkipWithError("the sync found work to do");
    }
}
BENCHMARK(BM_SyncWithNothingToDo)->Unit(benchmark::kMillisecond)->UseRealTime();

constexpr int kJournalEntries = 100000;

// A workspace of kJournalEntries entries (one record item with two changed values each) beside
// a store of its own, so the store benchmarks above send no journal.
ws::Workspace& journal(World& w)
{
    static ws::Workspace workspace;
    if (!workspace.IsOpen()) {
        fs::create_directories(w.dir / "J");
        workspace.Open((w.dir / "J" / "MXR.DAT").string(), true);
        benchjournal::Fill(workspace, kJournalEntries);
    }
    return workspace;
}

void BM_PushJournalIntoEmptyDatabase(benchmark::State& state)
{
    World* withServer = worldWithServer(state);
    if (!withServer)
        return;
    World& w = *withServer;
    ws::Workspace& workspace = journal(w);
    for (auto _ : state) {
        state.PauseTiming();
        const std::string name = w.server->createDatabase();
        SyncTarget t = freshTarget(w, name);
        InitDatabase(t.db);
        PgConnection c(t.db.params);
        state.ResumeTiming();
        if (PushJournal(c, workspace, "bench") != kJournalEntries)
            state.SkipWithError("not every entry was sent");
    }
    state.SetItemsProcessed(state.iterations() * kJournalEntries);
}
BENCHMARK(BM_PushJournalIntoEmptyDatabase)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

void BM_PushJournalNothingNew(benchmark::State& state)
{
    World* withServer = worldWithServer(state);
    if (!withServer)
        return;
    World& w = *withServer;
    ws::Workspace& workspace = journal(w);
    const std::string name = w.server->createDatabase();
    SyncTarget t = freshTarget(w, name);
    InitDatabase(t.db);
    PgConnection c(t.db.params);
    PushJournal(c, workspace, "bench");
    for (auto _ : state)
        if (PushJournal(c, workspace, "bench") != 0)
            state.SkipWithError("entries were sent again");
}
BENCHMARK(BM_PushJournalNothingNew)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    World& w = world();
    w.server.reset();
    if (!w.dir.empty())
        fs::remove_all(w.dir);
    return 0;
}
