// The cable history (every sign of every record) against loading the same records from the
// data store, in one run: a cable of 20 sets × 10 records × 18,000 points (one hour at 0.2 s).
// links: mxr_analysis mxr_store mxr_model
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "analysis/history.h"
#include "model/customerdb.h"
#include "model/measdata.h"
#include "store/store.h"

namespace {

constexpr int kSets = 20, kRecords = 10, kPoints = 18000;

// A measured-looking curve: absorption decaying onto a leakage that differs by phase and
// voltage, 1 % noise, and a short kick now and then.
CMeasRecord record(int set, int r)
{
    CMeasRecord rec;
    rec.TestVoltage = 2.0 * (r / 3 + 1);
    rec.TriggerLevel = 20.0;
    rec.Condition.CabKind = CabKindR + r % 3;
    rec.StartTime = {43000.0 + 365.0 * set + r / 100.0, OleDateTime::Valid};
    rec.Points.reserve(kPoints);
    uint32_t noise = 12345u + static_cast<uint32_t>(set * 97 + r);
    const double leak = 0.5 * rec.TestVoltage * (1.0 + 0.1 * set) * (r % 3 == 2 ? 2.0 : 1.0);
    for (int n = 1; n <= kPoints; ++n) {
        noise = noise * 1664525u + 1013904223u;
        const double t = n * 0.2;
        double v = leak + 40.0 * std::exp(-t / 8.0);
        v *= 1.0 + 0.01 * ((noise >> 8) / double(1u << 24) - 0.5);
        if (n % 4000 < 3)
            v *= 4.0;
        rec.Points.push_back({CDataValue(v), t});
    }
    rec.RecalcFinalAndTriggers(-1, 10);
    return rec;
}

const std::string& storePath()
{
    static const std::string path = [] {
        char dir[] = "/tmp/mxr_bench_analysis_XXXXXX";
        if (!::mkdtemp(dir))
            std::abort();
        static const std::string folder = dir;
        std::atexit([] { std::filesystem::remove_all(folder); });
        CCustomerDB db;
        CCustomer& cu = db.customers.At(db.customers.FindOrInsert("Customer"));
        CCable& ca = cu.cables.At(cu.cables.FindOrInsert("Cable"));
        for (int s = 0; s < kSets; ++s) {
            CMeasData& set = ca.sets.At(ca.sets.FindOrInsert("Set " + std::to_string(2000 + s)));
            for (int r = 0; r < kRecords; ++r)
                set.InsertRecord(record(s, r));
            RecalcRatios(set);
        }
        const std::string p = folder + "/MXR.DAT";
        if (!SaveStore(db, p).ok)
            std::abort();
        return p;
    }();
    return path;
}

void BM_LoadCableFromStore(benchmark::State& state)
{
    const std::string& path = storePath();
    for (auto _ : state) {
        CCustomerDB db;
        if (!LoadStore(db, path).ok)
            state.SkipWithError("load failed");
        benchmark::DoNotOptimize(db);
    }
    state.SetBytesProcessed(state.iterations() *
                            static_cast<int64_t>(std::filesystem::file_size(path)));
}
BENCHMARK(BM_LoadCableFromStore)->Unit(benchmark::kMillisecond);

void BM_CableHistory(benchmark::State& state)
{
    CCustomerDB db;
    if (!LoadStore(db, storePath()).ok)
        std::abort();
    const CCable& cable = db.customers.At(0).cables.At(0);
    const AnalysisThresholds t;
    int signs = 0;
    for (auto _ : state) {
        const analysis::CableHistory h = analysis::BuildCableHistory("Customer", cable, t);
        signs = 0;
        for (const auto& s : h.sets)
            signs += s.signCount;
        benchmark::DoNotOptimize(signs);
    }
    state.counters["signs"] = signs;
    state.counters["records"] = kSets * kRecords;
}
BENCHMARK(BM_CableHistory)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
