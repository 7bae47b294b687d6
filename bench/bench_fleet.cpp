// The fleet of a large store: 2,000 cables measured once a year for five years, each test three
// phases at three voltage steps (90,000 records of 150 points). Opening the fleet from the
// workspace's summary cache (keys of every record, the cache read, plan and score of every
// cable), and the first build (every record summarised and filed in the cache) against loading
// the same store, as a ratio of one run.
// links: mxr_fleet mxr_workspace mxr_store mxr_model
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "fleet/fleetbuild.h"
#include "fleet/fleetjob.h"
#include "store/store.h"
#include "workspace/workspace.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kCustomers = 40, kCablesEach = 50, kYears = 5, kPoints = 150;
constexpr double kVoltages[] = {6.0, 10.0, 14.0};
constexpr int32_t kPhases[] = {CabKindR, CabKindS, CabKindT};

// One test record: a decaying current sampled every 2 s, a little higher for later years and
// for some cables, so judgments, growth and unbalance vary over the fleet.
CMeasRecord record(int cable, int year, int phase, int step)
{
    CMeasRecord r;
    r.TestVoltage = kVoltages[step];
    r.TriggerLevel = 50;
    r.Condition.CabKind = kPhases[phase];
    r.StartTime = {40000.0 + 365.0 * year + (cable % 300) + step * 0.01 + phase * 0.001,
                   OleDateTime::Valid};
    const double level = (0.5 + 0.1 * step) * (1.0 + (cable % 7 == 0 ? 0.4 * year : 0.05 * year)) *
                         (cable % 11 == 0 && phase == 2 ? 4.0 : 1.0);
    r.Points.reserve(kPoints);
    for (int i = 0; i < kPoints; ++i)
        r.Points.push_back({CDataValue(level * (1.0 + 8.0 / (1 + 0.2 * i))), 2.0 * (i + 1)});
    r.RecalcFinalAndTriggers(-1, 10);
    return r;
}

CCustomerDB makeFleet()
{
    CCustomerDB db;
    for (int c = 0; c < kCustomers; ++c) {
        CCustomer& cu = db.customers.At(db.customers.FindOrInsert("Customer " + std::to_string(c)));
        for (int k = 0; k < kCablesEach; ++k) {
            const int cable = c * kCablesEach + k;
            CCable& ca = cu.cables.At(cu.cables.FindOrInsert("Cable " + std::to_string(k)));
            for (int y = 0; y < kYears; ++y)
                for (int p = 0; p < 3; ++p) {
                    CMeasData& set = ca.sets.At(
                        ca.sets.FindOrInsert(std::to_string(2020 + y) + "-" + std::to_string(p)));
                    for (int s = 0; s < 3; ++s)
                        set.AppendRecord(record(cable, y, p, s));
                    RecalcRatios(set);
                }
        }
    }
    return db;
}

// The store file and its workspace, made once for the run.
struct Fixture {
    std::string folder, store;
    Fixture()
    {
        char dir[] = "/tmp/mxr_bench_fleet_XXXXXX";
        if (!::mkdtemp(dir))
            std::abort();
        folder = dir;
        store = folder + "/MXR.DAT";
        if (!SaveStore(makeFleet(), store).ok)
            std::abort();
        ws::Workspace w;
        if (!w.Open(store, true).usable())
            std::abort();
    }
    ~Fixture() { std::filesystem::remove_all(folder); }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double msSince(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

const fleet::Day kAsOf = fleet::AddMonths(fleet::DayOfOle(40000.0 + 365.0 * kYears), 0);

// Each iteration loads the store, then builds the fleet with an empty cache (filling it); the
// time reported is the build's, first_build_over_load the ratio of their medians.
void BM_FleetFirstBuild(benchmark::State& state)
{
    Fixture& f = fixture();
    std::vector<double> loads, builds;
    for (auto _ : state) {
        CCustomerDB tree;
        auto t0 = Clock::now();
        if (!LoadStore(tree, f.store).ok)
            std::abort();
        loads.push_back(msSince(t0));
        ws::Workspace w;
        w.Open(f.store, false);
        fleet::CreateRecordSummaryTable(w.Db());
        w.Db().Exec("DELETE FROM record_summary");
        // As the window builds it: the job's worker summarises on every core and files the
        // rows through its own connection.
        t0 = Clock::now();
        fleet::FleetJob job(tree, &w, {}, {}, kAsOf);
        job.Start({});
        const fleet::FleetBuildOutcome out = job.Finish();
        const double ms = msSince(t0);
        builds.push_back(ms);
        state.SetIterationTime(ms / 1000.0);
        if (out.plans.size() != kCustomers * kCablesEach || out.computed != out.records)
            std::abort();
        state.counters["records"] = static_cast<double>(out.records);
    }
    state.counters["load_ms"] = median(loads);
    state.counters["first_build_over_load"] = median(builds) / median(loads);
}
BENCHMARK(BM_FleetFirstBuild)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

// Opening the fleet of the loaded store from a full cache; goal 0.3 s.
void BM_FleetOpenFromCache(benchmark::State& state)
{
    Fixture& f = fixture();
    CCustomerDB tree;
    if (!LoadStore(tree, f.store).ok)
        std::abort();
    ws::Workspace w;
    w.Open(f.store, false);
    fleet::MakeFleet(tree, &w, {}, {}, kAsOf); // the cache is full from here on
    std::vector<double> opens;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const fleet::FleetBuildOutcome out = fleet::MakeFleet(tree, &w, {}, {}, kAsOf);
        opens.push_back(msSince(t0));
        if (out.computed != 0)
            std::abort();
        benchmark::DoNotOptimize(out.plans.data());
    }
    state.counters["open_over_goal"] = median(opens) / 300.0;
}
BENCHMARK(BM_FleetOpenFromCache)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
BENCHMARK_MAIN();
