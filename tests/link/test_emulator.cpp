// The tester emulator: its dump decodes to the records it reports, it covers the variety the
// reception must handle, the pty notices readers, and sending keeps the line rate.
#include <gtest/gtest.h>

#include <chrono>
#include <set>

#include <fcntl.h>
#include <unistd.h>

#include "link/emulator.h"
#include "link/emulatorport.h"
#include "link/replaysource.h"
#include "link/transferdecoder.h"

using namespace std::chrono;

namespace {

// The emulator's replay form decoded as a reception decodes it; the decoding must succeed.
std::vector<ReceivedRecord> decodeReplay(const TesterEmulator& emu, const EmulatorOptions& o)
{
    ReplaySource src;
    src.attachText(emu.replayText());
    std::vector<ReceivedRecord> got;
    std::atomic<bool> show{true}, running{true};
    CTransferDecoder dec(
        src, got, [](const std::string&) {}, show, o.triggValidSec);
    EXPECT_TRUE(dec.run(running));
    return got;
}

} // namespace

TEST(Emulator, ReplayFormDecodesToTheGeneratedRecords)
{
    EmulatorOptions o;
    o.seed = 77;
    o.records = 12;
    const TesterEmulator emu(o);
    const std::vector<ReceivedRecord> got = decodeReplay(emu, o);
    EXPECT_EQ(got, emu.expected());

    std::set<int> ranges, phases, status;
    std::set<double> voltages;
    int withTriggers = 0;
    for (const ReceivedRecord& r : emu.expected()) {
        ranges.insert(r.RangeFlag);
        phases.insert(r.Condition.CabKind);
        status.insert(r.StatusFlag);
        voltages.insert(r.TestVoltage);
        withTriggers += !r.Triggers.empty();
        EXPECT_EQ(r.LineCount, 300);
        EXPECT_GT(r.Points.front().value.toDouble(), r.LastCurrent); // absorption decays
    }
    EXPECT_EQ(ranges.size(), 2u);
    EXPECT_EQ(phases.size(), 4u);
    EXPECT_EQ(status.size(), 2u);
    EXPECT_EQ(*voltages.begin(), 2.0);
    EXPECT_TRUE(voltages.count(4.0) && voltages.count(6.0));
    EXPECT_GT(withTriggers, 0);

    // The serial form carries the extra header and date bytes; a different seed differs.
    EXPECT_EQ(emu.serialChunks().size(), 13u);
    EXPECT_EQ(emu.serialChunks()[0].bytes.size(), 8u + 9u + 7u * 301u + 7u + 12u + 5u + 7u);
    EmulatorOptions other = o;
    other.seed = 78;
    EXPECT_NE(TesterEmulator(other).serialBytes(), emu.serialBytes());
}

TEST(Emulator, ShapedRecordsDecodeAsOrdered)
{
    EmulatorOptions o;
    o.seed = 5;
    EmulatorRecordShape slow;
    slow.phase = 2;
    slow.voltage = 800;
    slow.leak = 3.0;
    slow.rangeFlag = 0;
    slow.trigger = 300;
    slow.kicks = 0;
    slow.measureSeconds = 600;
    slow.risePerMinute = 0.2;
    slow.start = CalendarTime{2025, 8, 20, 11, 36, 0};
    EmulatorRecordShape plain;
    plain.leak = 0.5;
    o.shapes = {slow, plain};
    const TesterEmulator emu(o);
    const std::vector<ReceivedRecord> got = decodeReplay(emu, o);
    ASSERT_EQ(got, emu.expected());
    ASSERT_EQ(got.size(), 2u);

    const ReceivedRecord& r = got[0];
    EXPECT_EQ(r.Condition.CabKind, CabKindT);
    EXPECT_DOUBLE_EQ(r.TestVoltage, 8.0);
    EXPECT_DOUBLE_EQ(r.TriggerLevel, 30.0);
    EXPECT_EQ(r.RangeFlag, 0);
    EXPECT_EQ(r.LineCount, 3000);
    EXPECT_EQ(r.StartTime.format("%Y/%m/%d %H:%M:%S"), "2025/08/20 11:36:00");
    EXPECT_TRUE(r.Triggers.empty());
    // 3 μA plus 0.2 μA a minute after the first minute: 4.8 μA at 10 minutes, within noise.
    EXPECT_NEAR(r.LastCurrent, 4.8, 0.06);
    EXPECT_EQ(got[1].Condition.CabKind, CabKindR);
    EXPECT_DOUBLE_EQ(got[1].TestVoltage, 2.0);
}

TEST(EmulatorPty, NoticesEachReader)
{
    EmulatorPty pty;
    std::string error;
    ASSERT_TRUE(pty.create(error)) << error;
    EXPECT_FALSE(pty.readerPresent());
    for (int i = 0; i < 2; ++i) {
        const int fd = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(fd, 0);
        EXPECT_TRUE(pty.readerPresent());
        ::close(fd);
        EXPECT_FALSE(pty.readerPresent());
    }
}

TEST(EmulatorPty, SendingKeepsTheLineRate)
{
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    // 960 bytes at 38400 baud: 250 ms of line time, plus a 50 ms pause after the first chunk.
    const std::vector<EmulatorChunk> chunks{{std::string(480, 'a'), 50},
                                            {std::string(480, 'b'), 0}};
    const auto t0 = steady_clock::now();
    EXPECT_TRUE(sendPaced(fds[1], chunks, 38400, nullptr, false));
    const auto ms = duration_cast<milliseconds>(steady_clock::now() - t0).count();
    EXPECT_GE(ms, 295);
    EXPECT_LT(ms, 450);
    char buf[1024];
    EXPECT_EQ(::read(fds[0], buf, sizeof buf), 960);
    ::close(fds[0]);
    ::close(fds[1]);
}
