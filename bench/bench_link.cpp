// Decoding speed against the line rate, and a whole pty reception of a 20-record dump, each
// with and without the archive of what was read.
// links: mxr_link mxr_model
#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <thread>

#include "link/emulator.h"
#include "link/emulatorport.h"
#include "link/receptionworker.h"
#include "link/replaysource.h"
#include "link/memoryport.h"
#include "link/receptionarchive.h"
#include "link/serialsource.h"
#include "link/transferdecoder.h"

#include <unistd.h>

namespace {

// A folder for the archive files of one benchmark, removed afterwards.
struct ArchiveFolder {
    std::string path = (std::filesystem::temp_directory_path() /
                        ("mxr_bench_archive_" + std::to_string(::getpid())))
                           .string();
    ~ArchiveFolder() { std::filesystem::remove_all(path); }
};

constexpr double kLineBytesPerSecond = 38400.0 / kBitsPerByte;

// The serial bytes served from memory through the port interface, one Read at a time, so the

EmulatorOptions dump20()
{
    EmulatorOptions o;
    o.seed = 20;
    o.records = 20;
    o.measureSeconds = 30;
    return o;
}

void BM_DecodeSerialBytesFromMemory(benchmark::State& state)
{
    const TesterEmulator emu(dump20());
    const std::string bytes = emu.serialBytes();
    MemorySerialPort port(bytes);
    std::atomic<bool> show{state.range(0) != 0}, running{true};
    const bool archived = state.range(1) != 0;
    const ArchiveFolder folder;
    std::size_t shown = 0;
    for (auto _ : state) {
        port.Rewind();
        std::unique_ptr<ITransferSource> src = std::make_unique<SerialSource>(port);
        // Every iteration writes a new file (the same second gets "_2", ...); the folder is
        // pruned as a reception does.
        ReceptionArchive archive(folder.path, std::time(nullptr), {});
        if (archived)
            src = std::make_unique<ArchivingSource>(std::move(src), archive);
        std::vector<ReceivedRecord> got;
        CTransferDecoder dec(
            *src, got, [&](const std::string& t) { shown += t.size(); }, show, 10);
        if (!dec.run(running) || got.size() != 20)
            state.SkipWithError("dump not decoded");
        benchmark::DoNotOptimize(got.data());
        archive.close();
        PruneReceptionArchive(folder.path, {20, 200ull << 20}, archive.path());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
    state.counters["x_38400_line"] =
        benchmark::Counter(double(bytes.size()) / kLineBytesPerSecond * double(state.iterations()),
                           benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecodeSerialBytesFromMemory)
    ->ArgNames({"show", "archive"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond);

void BM_DecodeReplayTextFromMemory(benchmark::State& state)
{
    const TesterEmulator emu(dump20());
    std::atomic<bool> show{true}, running{true};
    for (auto _ : state) {
        ReplaySource src;
        src.attachText(emu.replayText());
        std::vector<ReceivedRecord> got;
        CTransferDecoder dec(
            src, got, [](const std::string&) {}, show, 10);
        dec.run(running);
        benchmark::DoNotOptimize(got.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(emu.replayText().size()));
}
BENCHMARK(BM_DecodeReplayTextFromMemory)->Unit(benchmark::kMillisecond);

class Waiter : public IReceptionListener {
public:
    ReceptionWorker* worker = nullptr;
    void PostLine(const std::string&, int) override { worker->TextHandled(); }
    void PostError(const std::string&, int) override { worker->TextHandled(); }
    void Finished(bool ok) override
    {
        std::lock_guard lock(m);
        done = true;
        success = ok;
        cv.notify_all();
    }
    std::mutex m;
    std::condition_variable cv;
    bool done = false, success = false;
};

// Production pauses (100 + 300 + 3000 ms); the emulator paced at 38400 baud with its 20 ms
// pause after each record. overhead_pct compares the time beyond the fixed pauses with the
// time the line needs for the bytes and the emulator's own pauses.
void BM_PtyReception20Records(benchmark::State& state)
{
    const TesterEmulator emu(dump20());
    const std::string bytes = emu.serialBytes();
    const uint32_t settleMs = 50;
    double overhead = 0, seconds = 0;
    const ArchiveFolder folder;
    for (auto _ : state) {
        EmulatorPty pty;
        std::string error;
        if (!pty.create(error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        std::atomic<bool> stop{false};
        std::thread tester([&] {
            if (pty.waitForReader(stop, settleMs))
                pty.send(emu.serialChunks(), 38400, &stop);
        });
        Waiter w;
        ReceptionWorker worker(w);
        w.worker = &worker;
        dynamic_cast<CxSerialPort&>(worker.Port()).SetDevicePath(pty.slavePath());
        ReceptionOptions o;
        if (state.range(0) != 0)
            o.archiveDir = folder.path;
        const auto t0 = std::chrono::steady_clock::now();
        worker.Start(o);
        {
            std::unique_lock lock(w.m);
            w.cv.wait(lock, [&] { return w.done; });
        }
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        stop = true;
        tester.join();
        if (!w.success || worker.TakeRecords().size() != 20)
            state.SkipWithError("reception failed");
        const double lineTime = bytes.size() / kLineBytesPerSecond + 20 * 0.020;
        // Before the first byte: the start pause, the open, the emulator's settle time; after
        // the last: the 3000 ms pause.
        const double fixed = 0.100 + 3.000 + settleMs / 1000.0;
        overhead = (seconds - fixed - lineTime) / lineTime * 100.0;
        state.SetIterationTime(seconds);
    }
    state.counters["seconds"] = seconds;
    state.counters["line_seconds"] = bytes.size() / kLineBytesPerSecond + 20 * 0.020;
    state.counters["overhead_pct"] = overhead;
}
BENCHMARK(BM_PtyReception20Records)
    ->ArgName("archive")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
