// The backup made before the first save of a day, against a plain copy of the same 100 MB file
// (read, write, flush to disk) into the same folder. "Link" is the usual case (the backup
// folder beside the store); "Copy" puts the backup folder on another file system, so the
// backup is a flushed copy through a temporary file and a rename; compare it with
// "PlainCopyOtherFs", the plain copy onto that same file system.
// links: mxr_store mxr_model
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "model/safefile.h"
#include "store/backup.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kStoreBytes = 100u << 20;

struct Folder {
    fs::path dir;
    std::string store;
    explicit Folder(const char* tag)
    {
        dir = fs::temp_directory_path() /
              ("mxr_bench_backup_" + std::string(tag) + "_" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        store = (dir / "MXR.DAT").string();
        std::string bytes(kStoreBytes, '\0');
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>(i * 2654435761u >> 24);
        std::ofstream(store, std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    ~Folder() { fs::remove_all(dir); }
};

void plainCopy(const std::string& from, const std::string& to)
{
    safefile::Fd in(::open(from.c_str(), O_RDONLY));
    safefile::Fd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
    static char buf[256 * 1024];
    for (;;) {
        const ssize_t r = ::read(in.get(), buf, sizeof buf);
        if (r <= 0)
            break;
        safefile::WriteAll(out.get(), std::string_view(buf, static_cast<std::size_t>(r)));
    }
    ::fsync(out.get());
}

// The plain copy into the folder of the store, or onto the other file system the "Copy"
// backup writes to.
void plainCopyBench(benchmark::State& state, bool otherFileSystem)
{
    Folder f("plain");
    const fs::path folder =
        otherFileSystem ? fs::path("/dev/shm") / ("mxr_bench_plain_" + std::to_string(::getpid()))
                        : f.dir;
    fs::create_directories(folder);
    const std::string to = (folder / "copy.DAT").string();
    for (auto _ : state) {
        plainCopy(f.store, to);
        state.PauseTiming();
        fs::remove(to);
        state.ResumeTiming();
    }
    if (otherFileSystem)
        fs::remove_all(folder);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kStoreBytes));
}

void BM_PlainCopy(benchmark::State& state)
{
    plainCopyBench(state, false);
}
void BM_PlainCopyOtherFs(benchmark::State& state)
{
    plainCopyBench(state, true);
}
BENCHMARK(BM_PlainCopy)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainCopyOtherFs)->Unit(benchmark::kMillisecond)->UseRealTime();

void backupBench(benchmark::State& state, bool otherFileSystem)
{
    Folder f(otherFileSystem ? "copy" : "link");
    fs::path target;
    if (otherFileSystem) {
        target = fs::path("/dev/shm") / ("mxr_bench_backup_" + std::to_string(::getpid()));
        fs::create_directories(target);
        fs::create_directory_symlink(target, f.dir / "backup");
    }
    std::time_t when = 1000000000;
    for (auto _ : state) {
        const storebackup::BackupResult r = storebackup::MakeBackup(f.store, {1000, 0}, when++);
        if (!r.ok)
            state.SkipWithError(r.Describe().c_str());
        state.PauseTiming();
        fs::remove(r.path);
        state.ResumeTiming();
    }
    if (otherFileSystem)
        fs::remove_all(target);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kStoreBytes));
}

void BM_BackupLink(benchmark::State& state)
{
    backupBench(state, false);
}
void BM_BackupCopy(benchmark::State& state)
{
    backupBench(state, true);
}
BENCHMARK(BM_BackupLink)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BackupCopy)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
