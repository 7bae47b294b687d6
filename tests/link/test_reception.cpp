// The reception worker end to end: the tester emulator on a real pseudo-terminal reached
// through a port number, damaged streams, cancelling, missing ports and replay files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

#include "link/emulator.h"
#include "link/emulatorport.h"
#include "linktestutil.h"

namespace fs = std::filesystem;
using namespace std::chrono;

namespace {

// The emulator on its own pty: sends its chunks once the reception has opened the port.
struct PtyTester : EmulatorPtySender {
    explicit PtyTester(std::vector<EmulatorChunk> chunks, int baud = 0)
        : EmulatorPtySender(std::move(chunks), baud)
    {
        EXPECT_TRUE(ok()) << error();
    }
};

const std::string kOpen = "シリアルポートオープン";
const std::string kWait = "機器からのデータ送信待ち";
const std::string kClose = "シリアルポートクローズ";
const std::string kAfter = "後処理中...しばらくお待ちください";

} // namespace

TEST(Reception, RepeatingEmulatorSendsWholeDumpAtEveryOpening)
{
    const TesterEmulator emu(smallDump(5, 2));
    EmulatorPtySender sender(emu.serialChunks(), 0, 50, true);
    ASSERT_TRUE(sender.ok()) << sender.error();
    for (int round = 0; round < 2; ++round) {
        Reception rx(sender.path());
        ASSERT_TRUE(rx.listener.waitFinished(20s)) << "round " << round;
        EXPECT_TRUE(rx.listener.success()) << "round " << round;
        EXPECT_EQ(rx.worker.TakeRecords(), emu.expected()) << "round " << round;
    }
}

TEST(Reception, EmulatorDumpArrivesIdentical)
{
    const TesterEmulator emu(smallDump(3, 6));
    PtyTester tester(emu.serialChunks());
    Reception rx(tester.path());
    ASSERT_TRUE(rx.listener.waitFinished(20s));
    EXPECT_TRUE(rx.listener.success());
    const std::vector<ReceivedRecord> got = rx.worker.TakeRecords();
    ASSERT_EQ(got.size(), emu.expected().size());
    for (std::size_t i = 0; i < got.size(); ++i)
        EXPECT_EQ(got[i], emu.expected()[i]) << "record " << i;
    const auto lines = rx.listener.lines();
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[0], kOpen);
    EXPECT_EQ(lines[1], kWait);
    EXPECT_EQ(lines[lines.size() - 3], "FFFFFFFFFFFFFF");
    EXPECT_EQ(lines[lines.size() - 2], kClose);
    EXPECT_EQ(lines.back(), kAfter);
    EXPECT_TRUE(rx.listener.errors().empty());
    EXPECT_EQ(rx.worker.Pending(), 0);
}

TEST(Reception, OnlyTheEndOfTransferBlock)
{
    PtyTester tester({{std::string(8, '\xFF'), 0}});
    Reception rx(tester.path());
    ASSERT_TRUE(rx.listener.waitFinished(10s));
    EXPECT_TRUE(rx.listener.success());
    EXPECT_EQ(rx.listener.lines(),
              (std::vector<std::string>{kOpen, kWait, "FFFFFFFFFFFFFF", kClose, kAfter}));
    EXPECT_TRUE(rx.worker.TakeRecords().empty());
}

TEST(Reception, DamagedRecordIsLostAndTheOthersArrive)
{
    const TesterEmulator emu(smallDump(5, 3));
    std::vector<EmulatorChunk> chunks = emu.serialChunks();
    // A data line of the second record whose current is not BCD, as line noise would leave
    // it; in the first record noise in a later line's time field, which is not read.
    const std::size_t at = 8 + 9 + 7 * 20;
    chunks[1].bytes.insert(at, "\x12\x34\x56\xAB\xCD\xEF\r");
    chunks[0].bytes.replace(at, 3, "\xAB\xCD\xEF");
    PtyTester tester(chunks);
    Reception rx(tester.path());
    ASSERT_TRUE(rx.listener.waitFinished(20s));
    EXPECT_TRUE(rx.listener.success());
    const std::vector<ReceivedRecord> got = rx.worker.TakeRecords();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], emu.expected()[0]);
    EXPECT_EQ(got[1], emu.expected()[2]);
    EXPECT_EQ(rx.listener.errors(), std::vector<std::string>{"受信データ異常<123456ABCDEF>"});
    EXPECT_EQ(rx.listener.count(kOpen), 2);
    EXPECT_EQ(rx.listener.count(kWait), 2);
    EXPECT_EQ(rx.listener.count(kClose), 1);
}

TEST(Reception, LineNoiseOnTheWayIsCountedInTheSummary)
{
    // Between the tester and the port, as a bad cable would: record 0 loses the carriage
    // return of its 11th data line (two lines run together and are dropped), record 1 loses
    // its 21st data line whole, a bit error makes the current of record 2's 31st line
    // unreadable (the record is lost in the recovery), record 3 arrives intact.
    const TesterEmulator emu(smallDump(11, 4));
    std::vector<EmulatorChunk> chunks = emu.serialChunks();
    const auto line = [](int n) { return std::size_t(8 + 9 + 7 * n); };
    chunks[0].bytes[line(10) + 6] ^= 0x80;
    chunks[1].bytes.erase(line(20), 7);
    chunks[2].bytes[line(30) + 3] ^= 0xF0;
    PtyTester tester(chunks);
    Reception rx(tester.path());
    ASSERT_TRUE(rx.listener.waitFinished(20s));
    EXPECT_TRUE(rx.listener.success());

    const std::vector<ReceivedRecord> got = rx.worker.TakeRecords();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].DataNo, emu.expected()[0].DataNo);
    EXPECT_EQ(got[0].Announced, 80);
    EXPECT_EQ(got[0].LineCount, 78);
    EXPECT_EQ(got[1].Announced, 80);
    EXPECT_EQ(got[1].LineCount, 79);
    EXPECT_EQ(got[2], emu.expected()[3]);
    EXPECT_FALSE(got[2].LineCountMismatch());
    EXPECT_EQ(rx.listener.warnings(),
              (std::vector<std::string>{"データ数不一致 80/78", "データ数不一致 80/79"}));
    ASSERT_EQ(rx.listener.errors().size(), 1u);
    EXPECT_EQ(rx.listener.errors()[0].rfind("受信データ異常<", 0), 0u);

    const ReceptionSummary sum = rx.worker.Summary();
    EXPECT_EQ(sum.received, 3);
    EXPECT_EQ(sum.errors, 1);
    EXPECT_EQ(sum.warnings, 2);
    EXPECT_EQ(sum.lost, 1);
    EXPECT_FALSE(sum.clean());
}

TEST(Reception, CleanReceptionHasACleanSummary)
{
    const TesterEmulator emu(smallDump(12, 2));
    PtyTester tester(emu.serialChunks());
    Reception rx(tester.path());
    ASSERT_TRUE(rx.listener.waitFinished(20s));
    const ReceptionSummary sum = rx.worker.Summary();
    EXPECT_EQ(sum.received, 2);
    EXPECT_TRUE(sum.clean());
    EXPECT_EQ(sum.lost, 0);
}

TEST(Reception, CancelWhileWaiting)
{
    PtyTester tester({});
    Reception rx(tester.path());
    ASSERT_TRUE(rx.listener.waitForLine(kWait, 5s));
    std::this_thread::sleep_for(100ms); // let the worker block in its read
    const auto t0 = steady_clock::now();
    rx.worker.StopWorker();
    EXPECT_LT(duration_cast<milliseconds>(steady_clock::now() - t0).count(), 2500);
    ASSERT_TRUE(rx.listener.waitFinished(1s));
    EXPECT_FALSE(rx.listener.success());
    EXPECT_EQ(rx.listener.errors(), (std::vector<std::string>{"通信異常 [-2]", "通信異常 [-2]"}));
    EXPECT_EQ(rx.listener.lines(),
              (std::vector<std::string>{kOpen, kWait, "通信異常 [-2]", "通信異常 [-2]", kClose}));
    EXPECT_EQ(rx.worker.Pending(), 0);
}

TEST(Reception, PortThatDoesNotExist)
{
    Reception rx("/dev/mxr-no-such-port");
    ASSERT_TRUE(rx.listener.waitFinished(5s));
    EXPECT_FALSE(rx.listener.success());
    EXPECT_EQ(
        rx.listener.lines(),
        (std::vector<std::string>{
            kOpen, "シリアルポートのオープンに失敗,No such file or directoryｴﾗｰNo:hex(2),dec(2)",
            "通信異常 [-1]", kClose}));
    EXPECT_EQ(rx.listener.errors().size(), 2u);
}

TEST(Reception, ReplayFiles)
{
    const fs::path dir = fs::temp_directory_path() / ("mxr_rx_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const TesterEmulator emu(smallDump(9, 3));

    // Missing file.
    {
        const std::string missing = (dir / "missing.txt").string();
        Reception rx("", ReceptionMode::Replay, missing);
        ASSERT_TRUE(rx.listener.waitFinished(5s));
        EXPECT_FALSE(rx.listener.success());
        EXPECT_EQ(rx.listener.lines(),
                  (std::vector<std::string>{"ファイルオープン:" + missing,
                                            "ファイルが存在しません:" + missing}));
    }
    // Cut short after the last record's trailer, before its marker and the end block.
    {
        std::string text = emu.replayText();
        text.resize(text.rfind("4B4152454E4F"));
        const fs::path file = dir / "cut.txt";
        std::ofstream(file, std::ios::binary) << text;
        Reception rx("", ReceptionMode::Replay, file.string());
        ASSERT_TRUE(rx.listener.waitFinished(5s));
        EXPECT_TRUE(rx.listener.success());
        EXPECT_EQ(rx.worker.TakeRecords(), emu.expected());
        EXPECT_EQ(rx.listener.count(kClose), 0);
        EXPECT_EQ(rx.listener.lines().back(), kAfter);
    }
    // A damaged replay line ends the reception as failed, without a recovery.
    {
        std::string text = emu.replayText();
        text.insert(text.find("\r\n", 40) + 2, "0102\r\n");
        const fs::path file = dir / "bad.txt";
        std::ofstream(file, std::ios::binary) << text;
        Reception rx("", ReceptionMode::Replay, file.string());
        ASSERT_TRUE(rx.listener.waitFinished(5s));
        EXPECT_FALSE(rx.listener.success());
        EXPECT_EQ(rx.listener.errors(), std::vector<std::string>{"受信データ異常<0102>"});
        EXPECT_TRUE(rx.worker.TakeRecords().empty());
    }
    // Not a regular file: refused at once instead of blocking in the open (a FIFO without a
    // writer) or reading without end (a device).
    const fs::path fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo.string(), std::string("/dev/zero")}) {
        Reception rx("", ReceptionMode::Replay, path);
        ASSERT_TRUE(rx.listener.waitFinished(5s)) << path;
        EXPECT_FALSE(rx.listener.success());
        EXPECT_EQ(rx.listener.errors(),
                  std::vector<std::string>{"通常のファイルではありません:" + path});
    }
    fs::remove_all(dir);
}

TEST(Reception, SimulationEndsByItself)
{
    CollectingListener listener;
    ReceptionWorker worker(listener);
    listener.worker = &worker;
    ReceptionOptions o;
    o.mode = ReceptionMode::Simulation;
    o.seed = 4242;
    o.showData = false;
    o.pauses = fastPauses();
    worker.Start(o);
    ASSERT_TRUE(listener.waitFinished(30s));
    EXPECT_TRUE(listener.success());
    EXPECT_GE(worker.TakeRecords().size(), 2u);
    EXPECT_EQ(listener.lines().front(), kOpen);
    EXPECT_EQ(listener.lines().back(), kAfter);
}
