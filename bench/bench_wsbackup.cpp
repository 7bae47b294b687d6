// What the workspace adds to a backup of the store: the online-backup copy of a workspace of
// 100,000 journal entries (each with one record item and two changed values), beside a 10 MB
// store backed up by a hard link; "StoreOnly" is the same backup without the workspace.
// links: mxr_workspace mxr_store mxr_model
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "store/backup.h"
#include "workspace/workspace.h"
#include "workspace/workspacebackup.h"
#include "benchjournal.h"

namespace fs = std::filesystem;

namespace {

constexpr int kEntries = 100000;

struct Folder {
    fs::path dir;
    std::string store;
    Folder()
    {
        dir = fs::temp_directory_path() / ("mxr_bench_wsbackup_" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        store = (dir / "MXR.DAT").string();
        std::ofstream(store, std::ios::binary) << std::string(10u << 20, 'x');
        ws::Workspace w;
        w.Open(store, true);
        benchjournal::Fill(w, kEntries);
    }
    ~Folder() { fs::remove_all(dir); }
};

Folder& folder()
{
    static Folder f;
    return f;
}

void backupBench(benchmark::State& state, bool withWorkspace)
{
    Folder& f = folder();
    const storebackup::BackupPolicy policy =
        withWorkspace ? ws::WithWorkspace({1000, 0}) : storebackup::BackupPolicy{1000, 0};
    std::time_t when = 1000000000;
    for (auto _ : state) {
        const storebackup::BackupResult r = storebackup::MakeBackup(f.store, policy, when++);
        if (!r.ok || !r.companionError.empty())
            state.SkipWithError((r.Describe() + " " + r.companionError).c_str());
        state.PauseTiming();
        fs::remove(r.path);
        fs::remove(ws::WorkspaceCopyFor(r.path));
        state.ResumeTiming();
    }
    state.counters["workspaceMB"] =
        static_cast<double>(fs::file_size(ws::WorkspacePathFor(f.store))) / (1 << 20);
}

void BM_BackupStoreOnly(benchmark::State& state)
{
    backupBench(state, false);
}
void BM_BackupWithWorkspace(benchmark::State& state)
{
    backupBench(state, true);
}
BENCHMARK(BM_BackupStoreOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BackupWithWorkspace)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
