// CSV text output of one record at growing point counts: building the bytes, and building plus
// the atomic file write (with and without the flush to disk).
// links: mxr_exchange mxr_store mxr_model
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "exchange/csvwriter.h"
#include "model/cp932text.h"

namespace {

// A record sampled every 0.2 s with a decaying current and a trigger event every minute.
CMeasRecord largeRecord(int points)
{
    CMeasRecord r;
    r.RangeFlag = 0;
    r.TestVoltage = 20.0;
    r.LastCurrent = 1.234;
    r.TriggerLevel = 5.0;
    r.SeikyokuRatio = 1.3;
    r.StartTime = *OleDateTime::fromCalendar({2024, 4, 1, 10, 0, 0});
    r.Condition.Remarks = cp932::lit("ベンチマーク");
    r.Points.reserve(static_cast<std::size_t>(points));
    for (int i = 0; i < points; ++i) {
        const double t = 0.2 * i;
        r.Points.push_back({CDataValue(1.0 + 50.0 * std::exp(-t / 30.0)), t});
        if (i % 300 == 150)
            r.Triggers.push_back({CDataValue(6.5), t, t + 0.6});
    }
    r.UsedPoints = points;
    return r;
}

const CsvNames kNames{cp932::lit("需要家"), cp932::lit("ケーブル"), cp932::lit("測定")};

void BM_CsvContent(benchmark::State& state)
{
    const CMeasRecord r = largeRecord(static_cast<int>(state.range(0)));
    const CsvLabels labels = CsvLabelsFor("", "", "");
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string text = CsvContent(kNames, r, labels);
        bytes = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    state.counters["file_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_CsvContent)->Arg(900)->Arg(18000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_CsvWrite(benchmark::State& state)
{
    const CMeasRecord r = largeRecord(static_cast<int>(state.range(0)));
    const CsvLabels labels = CsvLabelsFor("", "", "");
    CsvWriteOptions options;
    options.syncToDisk = state.range(1) != 0;
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("mxr_bench_csv_" + std::to_string(::getpid()) + ".CSV"))
                                 .string();
    for (auto _ : state) {
        const CsvWriteOutcome out = WriteCsv(path, kNames, r, labels, options);
        if (!out.ok)
            state.SkipWithError("write failed");
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_CsvWrite)
    ->ArgsProduct({{18000, 100000}, {0, 1}})
    ->ArgNames({"points", "sync"})
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
