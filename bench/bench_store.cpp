// Data store load and save against plain buffered file I/O of the same bytes, the memory the
// loaded tree takes, and named-list look-ups at growing sizes.
//
// The loaded tree's memory is counted twice: by the replaced allocation functions below and by
// the allocator's own mallinfo2, each as the difference before and after the load.
// links: mxr_store mxr_model
#include <benchmark/benchmark.h>

#include <malloc.h> // malloc_usable_size, mallinfo2, malloc_trim

// The replaced operator delete frees what the replaced operator new took from malloc.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "model/customerdb.h"
#include "store/store.h"

#include "benchtree.h"

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

using Clock = std::chrono::steady_clock;

void writeStore(const std::string& p)
{
    StoreOptions fast;
    fast.syncToDisk = false;
    if (!SaveStore(benchtree::Make100MB(), p, fast).ok)
        std::abort();
}

const std::string& storePath()
{
    static const std::string path = [] {
        char dir[] = "/tmp/mxr_bench_store_XXXXXX";
        if (!::mkdtemp(dir))
            std::abort();
        const std::string p = std::string(dir) + "/MXR.DAT";
        static const std::string folder = dir;
        std::atexit([] { std::filesystem::remove_all(folder); });
        writeStore(p);
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

// One plain read of the whole file through a 64 KiB buffer: the reference a load is measured
// against.
double plainReadMs(const std::string& path)
{
    static std::vector<char> buf(64 * 1024);
    const auto t0 = Clock::now();
    FILE* f = std::fopen(path.c_str(), "rb");
    std::size_t total = 0, n;
    while ((n = std::fread(buf.data(), 1, buf.size(), f)) > 0)
        total += n;
    std::fclose(f);
    benchmark::DoNotOptimize(total);
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

double median(std::vector<double> v)
{
    if (v.empty())
        return 0.0;
    std::sort(v.begin(), v.end());
    const std::size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

// Heap bytes in use as the allocator itself counts them (small chunks and mmapped ones).
long long mallocInUse()
{
    const struct mallinfo2 mi = ::mallinfo2();
    return static_cast<long long>(mi.uordblks + mi.hblkhd);
}

void BM_PlainRead(benchmark::State& state)
{
    const std::string& path = storePath();
    for (auto _ : state)
        plainReadMs(path);
    state.SetBytesProcessed(state.iterations() * fileSize(path));
}
BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond);

// Each iteration reads the file plainly, then loads it, so that both see the same machine
// state; the time reported is the load's, ratio_to_plain_read the ratio of their medians.
// The tree of the previous iteration is released before, untimed: its memory stays with the
// allocator, so this is a load into a warm heap (see BM_LoadStoreFreshProcess for the first
// load of a process, as at start-up).
void BM_LoadStore(benchmark::State& state)
{
    const std::string& path = storePath();
    const long long size = fileSize(path);
    double treeBytes = 0, treeBytesMallinfo = 0;
    std::vector<double> loads, plains;
    CCustomerDB db;
    for (auto _ : state) {
        db = CCustomerDB();
        plains.push_back(plainReadMs(path));
        const long long before = g_liveBytes;
        const long long beforeMallinfo = mallocInUse();
        const auto t0 = Clock::now();
        if (!LoadStore(db, path).ok)
            state.SkipWithError("load failed");
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        loads.push_back(ms);
        state.SetIterationTime(ms / 1000.0);
        treeBytes = static_cast<double>(g_liveBytes - before);
        treeBytesMallinfo = static_cast<double>(mallocInUse() - beforeMallinfo);
    }
    state.SetBytesProcessed(state.iterations() * size);
    state.counters["file_MB"] = static_cast<double>(size) / 1e6;
    state.counters["plain_read_ms"] = median(plains);
    state.counters["ratio_to_plain_read"] = median(loads) / median(plains);
    state.counters["tree_per_file"] = treeBytes / static_cast<double>(size);
    state.counters["tree_per_file_mallinfo"] = treeBytesMallinfo / static_cast<double>(size);
}
BENCHMARK(BM_LoadStore)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);

// The first load of a process, as at start-up: each iteration forks a child that hands its
// free heap back to the system, reads the file plainly, then loads it, and reports both times.
// Every page of the tree is new to the child, so the page faults of building it are counted.
void BM_LoadStoreFreshProcess(benchmark::State& state)
{
    const std::string& path = storePath();
    const long long size = fileSize(path);
    std::vector<double> loads, plains;
    for (auto _ : state) {
        int fds[2];
        if (::pipe(fds) != 0) {
            state.SkipWithError("pipe failed");
            break;
        }
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(fds[0]);
            ::malloc_trim(0);
            double times[2];
            times[0] = plainReadMs(path);
            CCustomerDB db;
            const auto t0 = Clock::now();
            const bool ok = LoadStore(db, path).ok;
            times[1] =
                ok ? std::chrono::duration<double, std::milli>(Clock::now() - t0).count() : -1.0;
            [[maybe_unused]] ssize_t n = ::write(fds[1], times, sizeof times);
            ::_exit(0);
        }
        ::close(fds[1]);
        double times[2] = {0, -1};
        const bool got = ::read(fds[0], times, sizeof times) == sizeof times;
        ::close(fds[0]);
        ::waitpid(pid, nullptr, 0);
        if (!got || times[1] < 0) {
            state.SkipWithError("load in the child failed");
            break;
        }
        plains.push_back(times[0]);
        loads.push_back(times[1]);
        state.SetIterationTime(times[1] / 1000.0);
    }
    state.SetBytesProcessed(state.iterations() * size);
    state.counters["plain_read_ms"] = median(plains);
    state.counters["ratio_to_plain_read"] = median(loads) / median(plains);
}
BENCHMARK(BM_LoadStoreFreshProcess)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(9);

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

// With MXR_BENCH_STORE_OUT=FILE the program only writes the 100 MB store to FILE (the start-up
// measurement of scripts/startup_bench.sh uses it).
int main(int argc, char** argv)
{
    if (const char* out = std::getenv("MXR_BENCH_STORE_OUT")) {
        writeStore(out);
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
