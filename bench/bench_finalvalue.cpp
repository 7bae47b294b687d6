// Opening the final value selection on the longest record the tester sends (65,535 points),
// and applying the chosen point back to a set.
// links: mxr_ui Qt6::Widgets
#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include "ui/dialogs/finalvaluepoints.h"
#include "ui/dialogs/finalvaluedialog.h"
#include "ui/dialogs/finalvaluelist.h"
#include "ui/common/uitext.h"

#include "../tests/common/samplerecords.h"
#define MXR_BENCH_WIDGETS
#include "benchmain.h"

namespace {

CMeasRecord longRecord(int count)
{
    CMeasRecord r;
    r.RangeFlag = 1;
    r.TestVoltage = 10.0;
    r.TriggerLevel = 8.0;
    sample::addPoints(r, count, [](int i) { return 2.0 + (i % 97) * 0.1; });
    return r;
}

// Construction, filling the list, showing the window and painting it once.
void BM_OpenDialog(benchmark::State& state)
{
    const CMeasRecord record = longRecord(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        FinalValueDialog dialog(record);
        dialog.show();
        QApplication::processEvents();
        dialog.repaint();
        benchmark::DoNotOptimize(dialog.List()->SelectedIndex());
        dialog.close();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_OpenDialog)->Arg(3001)->Arg(65535)->Unit(benchmark::kMillisecond);

// Moving the mark to another point (what "最終の測定値とする" costs on screen).
void BM_MoveMark(benchmark::State& state)
{
    const CMeasRecord record = longRecord(65535);
    FinalValueDialog dialog(record);
    dialog.show();
    QApplication::processEvents();
    int i = 0;
    for (auto _ : state) {
        dialog.List()->SelectIndex(i = (i + 7919) % 65535);
        dialog.OnSetFinal();
        dialog.List()->repaint();
    }
}
BENCHMARK(BM_MoveMark)->Unit(benchmark::kMicrosecond);

// Storing the points and recomputing the record and a set of ten records.
void BM_ApplyToSet(benchmark::State& state)
{
    CMeasData set;
    for (int k = 0; k < 10; ++k)
        set.AppendRecord(longRecord(65535));
    const auto points = set.RecordAt(0).Points;
    for (auto _ : state)
        finalvalue::ApplyToSet(set, 0, points, 40000, 10);
}
BENCHMARK(BM_ApplyToSet)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return RunQtBenchmarks(argc, argv);
}
