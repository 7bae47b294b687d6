// The 変更履歴 window on a journal of 100,000 entries: reading them from the workspace, the
// table over them, the window opened and painted, and a text filter over every row.
// links: mxr_ui mxr_workspace Qt6::Widgets
#include <QApplication>
#include <QTableView>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <malloc.h>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "settings/appsettings.h"
#include "ui/common/uitext.h"
#include "ui/dialogs/journalcommand.h"
#include "ui/dialogs/journalmodel.h"
#include "ui/dialogs/journalwindow.h"
#include "workspace/journaltable.h"
#include "workspace/workspace.h"
#include "benchjournal.h"

#include <QPrinter>
#define MXR_BENCH_WIDGETS
#include "benchmain.h"

namespace {

// A store path whose workspace holds n entries (made once per n and kept for the run).
std::string workspaceWith(int n)
{
    static std::unique_ptr<QTemporaryDir> dir;
    static int made = -1;
    if (!dir)
        dir = std::make_unique<QTemporaryDir>();
    const std::string store = dir->path().toStdString() + "/MXR" + std::to_string(n) + ".DAT";
    if (made != n) {
        ws::Workspace w;
        w.Open(store, true);
        benchjournal::Fill(w, n);
        made = n;
    }
    return store;
}

std::vector<ws::JournalEntry> entries(int n)
{
    std::vector<ws::JournalEntry> v;
    v.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        v.push_back(benchjournal::SampleEntry(i));
    return v;
}

// Opening the workspace file (its integrity check reads every page).
void BM_JournalOpenFile(benchmark::State& state)
{
    const std::string store = workspaceWith(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        ws::Workspace w;
        benchmark::DoNotOptimize(w.Open(store, false).usable());
    }
}
BENCHMARK(BM_JournalOpenFile)->Arg(100000)->Unit(benchmark::kMillisecond);

// Reading every entry with its items from the open workspace (arg 1 as below).
void BM_JournalQuery(benchmark::State& state)
{
    const std::string store = workspaceWith(static_cast<int>(state.range(0)));
    ws::Workspace w;
    w.Open(store, false);
    for (auto _ : state) {
        if (state.range(1)) {
            state.PauseTiming();
            malloc_trim(0);
            state.ResumeTiming();
        }
        benchmark::DoNotOptimize(w.Query({}).size());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_JournalQuery)->Args({100000, 0})->Args({100000, 1})->UseRealTime()->Unit(benchmark::kMillisecond);

// The same read on one connection (a limit above the journal's length takes that path), for
// the gain of reading in two halves.
void BM_JournalQueryOneConnection(benchmark::State& state)
{
    const std::string store = workspaceWith(static_cast<int>(state.range(0)));
    ws::Workspace w;
    w.Open(store, false);
    for (auto _ : state) {
        state.PauseTiming();
        malloc_trim(0);
        state.ResumeTiming();
        benchmark::DoNotOptimize(w.Query({.limit = 1u << 30}).size());
    }
}
BENCHMARK(BM_JournalQueryOneConnection)->Arg(100000)->UseRealTime()->Unit(benchmark::kMillisecond);

// The table over entries already read: the row index and the model reset.
void BM_JournalModel(benchmark::State& state)
{
    const std::vector<ws::JournalEntry> source = entries(static_cast<int>(state.range(0)));
    JournalModel model;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<ws::JournalEntry> copy = source;
        state.ResumeTiming();
        model.SetEntries(std::move(copy));
        benchmark::DoNotOptimize(model.rowCount());
    }
}
BENCHMARK(BM_JournalModel)->Arg(100000)->Unit(benchmark::kMillisecond);

// What the user waits for: the window made, the journal read from the workspace the document
// holds open (a long one in two halves at once, on two threads: the time is wall-clock time),
// the window shown and painted once.
// Arg 1: the heap is handed back to the system before each opening, so every page of the
// entries is faulted in again as at the first opening of a run; arg 0: a later opening, which
// reuses the memory the previous one freed.
void BM_JournalWindowOpen(benchmark::State& state)
{
    const std::string store = workspaceWith(static_cast<int>(state.range(0)));
    ws::Workspace open;
    open.Open(store, false);
    QPrinter printer;
    CAppSettings settings;
    for (auto _ : state) {
        if (state.range(1)) {
            state.PauseTiming();
            malloc_trim(0);
            state.ResumeTiming();
        }
        auto window = std::make_unique<JournalWindow>(nullptr, printer, settings);
        JournalWindow& w = *window;
        w.resize(1280, 720);
        w.SetQuery([&](const ws::JournalFilter& f) {
            return JournalQueryResult{true, {}, open.Query(f)};
        });
        w.SetScopes({{QStringLiteral("すべての変更"), {}}});
        w.show();
        QApplication::processEvents();
        w.repaint();
        if (w.Model()->rowCount() != state.range(0))
            state.SkipWithError("not every entry was shown");
        // Closing and freeing the window is not part of opening it.
        state.PauseTiming();
        w.close();
        window.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_JournalWindowOpen)
    ->UseRealTime()
    ->Args({100000, 0})
    ->Args({100000, 1})
    ->Unit(benchmark::kMillisecond);

// A text filter over every row (the texts of each row made and searched).
void BM_JournalTextFilter(benchmark::State& state)
{
    ws::JournalTable table;
    table.SetEntries(entries(static_cast<int>(state.range(0))));
    int i = 0;
    for (auto _ : state) {
        table.SetFilter({++i % 2 ? "需要家7" : "pc-03"});
        benchmark::DoNotOptimize(table.RowCount());
    }
}
BENCHMARK(BM_JournalTextFilter)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return RunQtBenchmarks(argc, argv);
}
