// CSV text output of one record at growing point counts: building the bytes, and the whole
// export (build, write, flush to disk, rename) against its references measured interleaved in
// the same run: memcpy of the same bytes for the building, and a plain write plus fsync of the
// same bytes for the whole export. The ratios are the counters build_vs_memcpy and
// export_vs_plain_write (medians of the interleaved repetitions); export_vs_durable_write
// compares with a plain write that also flushes the folder, the step that makes a new name
// survive a power cut.
// links: mxr_exchange mxr_store mxr_model
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "exchange/csvwriter.h"
#include "model/cp932text.h"
#include "model/safefile.h"

#include "../tests/common/samplerecords.h"

namespace fs = std::filesystem;

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
    sample::addPoints(r, points, [](int i) { return 1.0 + 50.0 * std::exp(-0.2 * i / 30.0); });
    for (int i = 150; i < points; i += 300)
        r.Triggers.push_back({CDataValue(6.5), 0.2 * i, 0.2 * i + 0.6});
    return r;
}

const CsvNames kNames{cp932::lit("需要家"), cp932::lit("ケーブル"), cp932::lit("測定")};

// A folder of its own, so the writer's look for stale temporaries reads a small folder.
struct BenchFolder {
    fs::path dir = fs::temp_directory_path() / ("mxr_bench_csv_" + std::to_string(::getpid()));
    BenchFolder()
    {
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    ~BenchFolder() { fs::remove_all(dir); }
};

double secondsSince(std::chrono::steady_clock::time_point t0)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

// Building the text into a buffer reused from one iteration to the next, as a writer of many
// files would.
void BM_CsvContent(benchmark::State& state)
{
    const CMeasRecord r = largeRecord(static_cast<int>(state.range(0)));
    const CsvLabels labels = CsvLabelsFor("", "", "");
    std::string text;
    for (auto _ : state) {
        CsvContentInto(text, kNames, r, labels);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.counters["file_bytes"] = static_cast<double>(text.size());
}
BENCHMARK(BM_CsvContent)->Arg(900)->Arg(18000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The plain write of bytes a program without atomic replacement would do: create or truncate,
// write, fsync, close. With durableName the folder is flushed as well, as a new name needs to
// survive a power cut (the export does this after its rename).
void plainWrite(const std::string& path, const std::string& bytes, bool durableName)
{
    safefile::Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    safefile::WriteAll(fd.get(), bytes);
    ::fsync(fd.get());
    if (durableName) {
        safefile::Fd dir(::open(safefile::FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY));
        ::fsync(dir.get());
    }
}

// Each iteration runs the four steps one after the other, so that load on the machine falls
// on them alike; the iteration time reported is the whole export's. "replace" 0 writes new
// files, as the output dialog proposes a new name for every measurement; 1 overwrites the
// files of the previous iteration (the old file's blocks are freed within the step).
void BM_CsvRatios(benchmark::State& state)
{
    const CMeasRecord r = largeRecord(static_cast<int>(state.range(0)));
    const bool replace = state.range(1) != 0;
    const CsvLabels labels = CsvLabelsFor("", "", "");
    BenchFolder folder;
    const std::string csvPath = (folder.dir / "DAT.CSV").string();
    const std::string plainPath = (folder.dir / "PLAIN.CSV").string();
    const std::string bytes = CsvContent(kNames, r, labels);
    std::string copy(bytes.size(), '\0');
    std::string text;
    const std::string durablePath = (folder.dir / "DURABLE.CSV").string();
    std::vector<double> memcpyS, buildS, plainS, durableS, exportS;
    for (auto _ : state) {
        if (!replace) {
            ::unlink(csvPath.c_str());
            ::unlink(plainPath.c_str());
            ::unlink(durablePath.c_str());
            ::sync();
        }
        auto t0 = std::chrono::steady_clock::now();
        std::memcpy(copy.data(), bytes.data(), bytes.size());
        benchmark::DoNotOptimize(copy.data());
        memcpyS.push_back(secondsSince(t0));

        t0 = std::chrono::steady_clock::now();
        CsvContentInto(text, kNames, r, labels);
        benchmark::DoNotOptimize(text.data());
        buildS.push_back(secondsSince(t0));

        t0 = std::chrono::steady_clock::now();
        plainWrite(plainPath, bytes, false);
        plainS.push_back(secondsSince(t0));

        t0 = std::chrono::steady_clock::now();
        plainWrite(durablePath, bytes, true);
        durableS.push_back(secondsSince(t0));

        t0 = std::chrono::steady_clock::now();
        if (!WriteCsv(csvPath, kNames, r, labels).ok)
            state.SkipWithError("write failed");
        exportS.push_back(secondsSince(t0));
        state.SetIterationTime(exportS.back());
    }
    const double mb = static_cast<double>(bytes.size()) / 1e6;
    state.counters["build_MBps"] = mb / median(buildS);
    state.counters["build_vs_memcpy"] = median(buildS) / median(memcpyS);
    state.counters["plain_write_ms"] = 1e3 * median(plainS);
    state.counters["export_ms"] = 1e3 * median(exportS);
    state.counters["export_vs_plain_write"] = median(exportS) / median(plainS);
    state.counters["export_vs_durable_write"] = median(exportS) / median(durableS);
}
BENCHMARK(BM_CsvRatios)
    ->ArgsProduct({{100000}, {0, 1}})
    ->ArgNames({"points", "replace"})
    ->UseManualTime()
    ->Repetitions(1)
    ->MinTime(2.0)
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
