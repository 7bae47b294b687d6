// Data store load and save against plain buffered file I/O of the same bytes, the memory the
// loaded tree takes, and named-list look-ups at growing sizes.
//
// Each load builds a tree of about 1.6 times the file's size. Between iterations glibc hands
// freed memory back to the system, and on a virtual machine the page faults of taking it again
// can cost more than the parsing; MALLOC_TRIM_THRESHOLD_=4000000000 in the environment keeps it,
// which shows the cost of reading alone.
// links: mxr_store mxr_model
#include <benchmark/benchmark.h>

#include <malloc.h> // malloc_usable_size

// The replaced operator delete frees what the replaced operator new took from malloc.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "model/customerdb.h"
#include "store/store.h"

// Live heap bytes, counted by replacing the global allocation functions of this program.
namespace {
std::atomic<long long> g_liveBytes{0};
}

void* operator new(std::size_t n)
{
    void* p = std::malloc(n ? n : 1);
    if (!p)
        throw std::bad_alloc();
    g_liveBytes += static_cast<long long>(malloc_usable_size(p));
    return p;
}
void operator delete(void* p) noexcept
{
    if (p) {
        g_liveBytes -= static_cast<long long>(malloc_usable_size(p));
        std::free(p);
    }
}
void operator delete(void* p, std::size_t) noexcept
{
    operator delete(p);
}

namespace {

// About 100 MB: 2,000 records of 2,500 points under 50 customers, 2 cables, 2 sets each.
constexpr int kCustomers = 50, kCables = 2, kSets = 2, kRecords = 10, kPoints = 2500;

const std::string& storePath()
{
    static const std::string path = [] {
        char dir[] = "/tmp/mxr_bench_store_XXXXXX";
        if (!::mkdtemp(dir))
            std::abort();
        const std::string p = std::string(dir) + "/MXR.DAT";
        static const std::string folder = dir;
        std::atexit([] { std::filesystem::remove_all(folder); });
        CCustomerDB db;
        for (int c = 0; c < kCustomers; ++c) {
            CCustomer& cu =
                db.customers.At(db.customers.FindOrInsert("Customer " + std::to_string(c)));
            for (int k = 0; k < kCables; ++k) {
                CCable& ca = cu.cables.At(cu.cables.FindOrInsert("Cable " + std::to_string(k)));
                for (int s = 0; s < kSets; ++s) {
                    CMeasData& set = ca.sets.At(ca.sets.FindOrInsert("Set " + std::to_string(s)));
                    for (int r = 0; r < kRecords; ++r) {
                        CMeasRecord rec;
                        rec.TestVoltage = 1.0 + r;
                        rec.TriggerLevel = 5.0;
                        rec.StartTime = {38697.5 + r, 0};
                        rec.Points.reserve(kPoints);
                        for (int i = 0; i < kPoints; ++i)
                            rec.Points.push_back(
                                {CDataValue(20.0 / (1 + 0.01 * i) + 0.5), 0.2 * (i + 1)});
                        rec.RecalcFinalAndTriggers(-1, 10);
                        set.AppendRecord(std::move(rec));
                    }
                    RecalcRatios(set);
                }
            }
        }
        StoreOptions fast;
        fast.syncToDisk = false;
        if (!SaveStore(db, p, fast).ok)
            std::abort();
        return p;
    }();
    return path;
}

long long fileSize(const std::string& path)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    std::fseek(f, 0, SEEK_END);
    const long long n = std::ftell(f);
    std::fclose(f);
    return n;
}

void BM_PlainRead(benchmark::State& state)
{
    const std::string& path = storePath();
    std::vector<char> buf(64 * 1024);
    for (auto _ : state) {
        FILE* f = std::fopen(path.c_str(), "rb");
        std::size_t total = 0, n;
        while ((n = std::fread(buf.data(), 1, buf.size(), f)) > 0)
            total += n;
        std::fclose(f);
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(state.iterations() * fileSize(path));
}
BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond);

void BM_LoadStore(benchmark::State& state)
{
    const std::string& path = storePath();
    const long long size = fileSize(path);
    double treeBytes = 0;
    CCustomerDB db;
    for (auto _ : state) {
        state.PauseTiming(); // releasing the last tree is not part of loading
        db = CCustomerDB();
        const long long before = g_liveBytes;
        state.ResumeTiming();
        if (!LoadStore(db, path).ok)
            state.SkipWithError("load failed");
        treeBytes = static_cast<double>(g_liveBytes - before);
    }
    state.SetBytesProcessed(state.iterations() * size);
    state.counters["file_MB"] = static_cast<double>(size) / 1e6;
    state.counters["tree_per_file"] = treeBytes / static_cast<double>(size);
}
BENCHMARK(BM_LoadStore)->Unit(benchmark::kMillisecond);

// Writes the same number of bytes through stdio, then (with sync) flushes them to disk.
void plainWrite(benchmark::State& state, bool sync)
{
    const std::string& path = storePath();
    const long long size = fileSize(path);
    const std::string out = path + ".plain";
    std::vector<char> buf(64 * 1024, 'x');
    for (auto _ : state) {
        FILE* f = std::fopen(out.c_str(), "wb");
        for (long long left = size; left > 0;) {
            const std::size_t n = static_cast<std::size_t>(std::min<long long>(left, 64 * 1024));
            std::fwrite(buf.data(), 1, n, f);
            left -= static_cast<long long>(n);
        }
        std::fflush(f);
        if (sync)
            ::fsync(fileno(f));
        std::fclose(f);
    }
    state.SetBytesProcessed(state.iterations() * size);
    std::remove(out.c_str());
}

void saveStore(benchmark::State& state, bool sync)
{
    const std::string& path = storePath();
    CCustomerDB db;
    LoadStore(db, path);
    const std::string out = path + ".saved";
    StoreOptions options;
    options.syncToDisk = sync;
    for (auto _ : state)
        if (!SaveStore(db, out, options).ok)
            state.SkipWithError("save failed");
    state.SetBytesProcessed(state.iterations() * fileSize(path));
    std::remove(out.c_str());
}

void BM_PlainWrite(benchmark::State& state)
{
    plainWrite(state, false);
}
void BM_SaveStore(benchmark::State& state)
{
    saveStore(state, false);
}
void BM_PlainWriteSynced(benchmark::State& state)
{
    plainWrite(state, true);
}
void BM_SaveStoreSynced(benchmark::State& state)
{
    saveStore(state, true);
}
BENCHMARK(BM_PlainWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveStore)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainWriteSynced)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SaveStoreSynced)->Unit(benchmark::kMillisecond)->Iterations(3);

// Names as customers are usually named: a prefix and a number, inserted in random order.
CNamedList<CMeasData> listOf(int n, std::vector<std::string>& names)
{
    names.clear();
    for (int i = 0; i < n; ++i)
        names.push_back("Customer " + std::to_string(i * 7919 % n));
    CNamedList<CMeasData> list;
    for (const std::string& name : names)
        list.FindOrInsert(name);
    return list;
}

void BM_Find(benchmark::State& state)
{
    std::vector<std::string> names;
    const CNamedList<CMeasData> list = listOf(static_cast<int>(state.range(0)), names);
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(list.Find(names[i]));
        i = (i + 1) % names.size();
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_Find)->Arg(1000)->Arg(10000)->Arg(100000)->Complexity(benchmark::oLogN);

// Inserting a new name and removing it again (the removal frees the slot the next insertion
// reuses), at a random place in the list.
void BM_FindOrInsertNew(benchmark::State& state)
{
    std::vector<std::string> names;
    CNamedList<CMeasData> list = listOf(static_cast<int>(state.range(0)), names);
    std::size_t i = 0;
    for (auto _ : state) {
        const std::string name = names[i] + "x";
        list.RemoveAt(list.FindOrInsert(name));
        i = (i + 1) % names.size();
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_FindOrInsertNew)->Arg(1000)->Arg(10000)->Arg(100000)->Complexity();

void BM_FindOrInsertExisting(benchmark::State& state)
{
    std::vector<std::string> names;
    CNamedList<CMeasData> list = listOf(static_cast<int>(state.range(0)), names);
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(list.FindOrInsert(names[i]));
        i = (i + 1) % names.size();
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_FindOrInsertExisting)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Complexity(benchmark::oLogN);

} // namespace

BENCHMARK_MAIN();
