// What the change journal adds to a save of a 100 MB store: a registration of three records
// saved as the program saves it (flushed to disk), with and without the journal.
// links: mxr_workspace mxr_store mxr_commands mxr_model
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "benchtree.h"
#include "commands/treecommands.h"
#include "store/store.h"
#include "store/storesession.h"
#include "workspace/storejournal.h"
#include "workspace/treediff.h"

namespace {

std::string freshFolder()
{
    char dir[] = "/tmp/mxr_bench_journal_XXXXXX";
    if (!::mkdtemp(dir))
        std::abort();
    return dir;
}

// The n-th registration of the benchmark: three new records into one set of the 100 MB tree.
cmd::RegisterReceived registration(int n)
{
    std::vector<CMeasRecord> received;
    for (int i = 0; i < 3; ++i)
        received.push_back(benchtree::Record(100 + n * 3 + i, 40000.0));
    return {{"Customer 7", "Cable 1", "Set 0"}, std::move(received), {}, false};
}

void registerAndSave(benchmark::State& state, bool journaled)
{
    const std::string folder = freshFolder();
    const std::string path = folder + "/MXR.DAT";
    {
        StoreOptions fast;
        fast.syncToDisk = false;
        if (!SaveStore(benchtree::Make100MB(), path, fast).ok)
            std::abort();
    }
    StoreSession session;
    session.SetDataFilePath(path);
    ws::StoreJournal journal;
    if (journaled)
        session.SetSaveWitness(&journal);
    session.Load();
    journal.Attach(path);
    journal.AfterLoad(session.Store(), session.Identity());
    int n = 0;
    for (auto _ : state) {
        // What the sheet does before its OK: the copy of the store it edited is the new store,
        // the store it replaced is `before`.
        state.PauseTiming();
        CCustomerDB before = session.Store();
        const cmd::RegisterReceived command = registration(n++);
        state.ResumeTiming();
        cmd::ChangeList changes;
        cmd::Run(session.Store(), command, &changes);
        if (journaled)
            journal.Stage(before, session.Store(), changes.changes);
        if (session.Save().status != SaveStatus::Saved)
            state.SkipWithError("save failed");
    }
    std::filesystem::remove_all(folder);
}

void BM_RegisterAndSave(benchmark::State& state)
{
    registerAndSave(state, false);
}
void BM_RegisterAndSaveJournaled(benchmark::State& state)
{
    registerAndSave(state, true);
}
BENCHMARK(BM_RegisterAndSave)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_RegisterAndSaveJournaled)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

BENCHMARK_MAIN();
namespace {
// What the journal computes of that registration: the entry of the changed set.
void BM_EntryOfARegistration(benchmark::State& state)
{
    CCustomerDB tree = benchtree::Make100MB();
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        CCustomerDB before = tree;
        const cmd::RegisterReceived command = registration(n++);
        cmd::ChangeList changes;
        cmd::Run(tree, command, &changes);
        state.ResumeTiming();
        benchmark::DoNotOptimize(ws::MakeEntry(before, tree, changes.changes, {}, 0));
    }
}
BENCHMARK(BM_EntryOfARegistration)->Unit(benchmark::kMillisecond)->Iterations(20);

// The two commits of a journaled save alone (pending, then done).
void BM_BeginFinish(benchmark::State& state)
{
    const std::string folder = freshFolder();
    ws::Workspace w;
    w.Open(folder + "/MXR.DAT", true);
    ws::JournalEntry e;
    e.command = "register-received";
    e.items.resize(3);
    FileIdentity id;
    id.exists = true;
    for (auto _ : state) {
        const int64_t n = w.BeginSave(e, id);
        w.FinishSave(n, id);
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_BeginFinish)->Unit(benchmark::kMillisecond)->Iterations(20);
} // namespace
