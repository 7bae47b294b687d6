// The transfer decoder on replay input and the simulation: field decoding, states, messages,
// the end of a replay file, the line buffer bound.
#include <gtest/gtest.h>

#include "link/replaysource.h"
#include "link/simulationsource.h"
#include "link/transferdecoder.h"
#include "linktestutil.h"
#include "model/cxexception.h"

namespace {

struct Decoded {
    bool complete = false; // the end-of-transfer block (or the end of a cut-short file)
    std::vector<std::string> shown;
    std::vector<std::string> warnings;
    std::vector<ReceivedRecord> records;
    std::string error;
};

Decoded decode(ITransferSource& source, bool showData = true, int maxPasses = 100000)
{
    Decoded d;
    std::atomic<bool> show{showData};
    CTransferDecoder dec(
        source, d.records, [&](const std::string& t) { d.shown.push_back(u8(t)); }, show, 10);
    dec.setWarningHandler([&](const std::string& t) { d.warnings.push_back(u8(t)); });
    try {
        for (int i = 0; i < maxPasses && !d.complete; ++i)
            d.complete = !dec.pass();
    } catch (const CxException& e) {
        d.error = u8(e.Message());
    }
    return d;
}

Decoded decodeText(const std::string& text, bool showData = true, int maxPasses = 100000)
{
    ReplaySource src;
    src.attachText(text);
    return decode(src, showData, maxPasses);
}

const std::string kHeader =
    "12345101500055\r\n"; // DataNo 1234, flags 1/1, S phase, 1.50 kV, 5.5 µA
const std::string kDate = "0003051211120000\r\n"; // 3 lines announced, 2005/12/11 12:00:00
const std::string kMarker = "4B4152454E4F\r\n";   // "KARENO"

} // namespace

TEST(Bcd, ReadsTheDigitsBeforeTheFirstHexLetter)
{
    const struct {
        std::string bytes;
        bool ok;
        int value;
    } cases[] = {
        {"\x12\x34", true, 1234},    {std::string("\x00\x99\x01", 3), true, 9901},
        {"\x1A", true, 1},           {std::string("\x00\x00\x0A", 3), true, 0},
        {"\x12\x3F\x99", true, 123}, {"\xB0", false, -1},
        {"\xFF\x12", false, -1},     {"", true, 0},
    };
    for (const auto& c : cases) {
        int v = -1;
        EXPECT_EQ(decodeBcd(c.bytes, v), c.ok) << hexText(c.bytes);
        EXPECT_EQ(v, c.value) << hexText(c.bytes); // untouched when there is no value
    }
}

TEST(HexText, RoundTripsAndToleratesOddAndForeignDigits)
{
    EXPECT_EQ(hexText(bytesFromHex("00ff7Fa0")), "00FF7FA0");
    EXPECT_EQ(hexText(bytesFromHex("ABC")), "AB0C"); // an odd last digit is converted alone
    EXPECT_EQ(hexText(bytesFromHex("A?")), "0A");
    EXPECT_EQ(hexText(bytesFromHex("?A")), "00");
}

TEST(Decoder, HeaderFieldsAndPhaseCodes)
{
    Decoded d = decodeText(kHeader + kDate + "000002000100\r\nFFFFFFFFFFFF\r\n" + kMarker);
    ASSERT_EQ(d.records.size(), 1u) << d.error;
    const ReceivedRecord& r = d.records[0];
    EXPECT_EQ(r.DataNo, 1234);
    EXPECT_EQ(r.StatusFlag, 1);
    EXPECT_EQ(r.RangeFlag, 1);
    EXPECT_EQ(r.Condition.CabKind, CabKindS);
    EXPECT_DOUBLE_EQ(r.TestVoltage, 1.5);
    EXPECT_DOUBLE_EQ(r.TriggerLevel, 5.5);
    EXPECT_EQ(r.StartTime, *OleDateTime::parse("2005/12/11 12:00:00"));
    EXPECT_EQ(d.shown[0], "12345101500055");
    EXPECT_EQ(d.shown[1], "0003051211120000");

    const struct {
        const char* status;
        int32_t kind;
    } phases[] = {{"00", CabKindR},
                  {"10", CabKindS},
                  {"20", CabKindT},
                  {"30", CabKindThreePhase},
                  {"8F", CabKindR}};
    for (const auto& p : phases) {
        Decoded e = decodeText(std::string("0001") + p.status + "01000050\r\n" + kDate +
                               "FFFFFFFFFFFF\r\n" + kMarker);
        ASSERT_EQ(e.records.size(), 1u) << p.status;
        EXPECT_EQ(e.records[0].Condition.CabKind, p.kind) << p.status;
    }
}

TEST(Decoder, PointTimesComeFromTheFirstLineOnly)
{
    const struct {
        std::string lines;
        std::vector<double> times;
    } cases[] = {
        {"000010000100\r\n000099000200\r\n000000000300\r\n", {1.0, 1.2, 1.4}},
        {"000000000100\r\n000002000200\r\n000004000300\r\n", {0.2, 0.4}}, // time 0 is not stored
    };
    for (const auto& c : cases) {
        Decoded d = decodeText(kHeader + kDate + c.lines + "FFFFFFFFFFFF\r\n" + kMarker);
        ASSERT_EQ(d.records.size(), 1u) << d.error;
        const ReceivedRecord& r = d.records[0];
        ASSERT_EQ(r.Points.size(), c.times.size());
        for (std::size_t i = 0; i < c.times.size(); ++i)
            EXPECT_DOUBLE_EQ(r.Points[i].elapsed, c.times[i]);
        EXPECT_EQ(r.LineCount, 3); // the lines before the end line, replacing the announced count
        EXPECT_EQ(r.UsedPoints, static_cast<int>(c.times.size()));
    }
}

TEST(Decoder, LineCountOtherThanAnnouncedIsAWarningAndTheRecordStaysAsDecoded)
{
    const auto lines = [](int n) {
        std::string out;
        for (int i = 0; i < n; ++i)
            out += formatC("%06d%06d\r\n", i == 0 ? 2 : 0, 100 + i);
        return out;
    };
    const struct {
        const char* announced; // the first two bytes of the date block
        int received;
        const char* warning; // nullptr: none
    } cases[] = {
        {"0003", 3, nullptr},
        {"0003", 2, "データ数不一致 3/2"}, // a lost line
        {"0003", 4, "データ数不一致 3/4"}, // noise that looked like a line
        {"0000", 10000, nullptr},          // four BCD digits carry the count modulo 10,000
        {"0000", 0, nullptr},
    };
    for (const auto& c : cases) {
        ReplaySource src;
        src.attachText(kHeader + c.announced + "051211120000\r\n" + lines(c.received) +
                       "FFFFFFFFFFFF\r\n" + kMarker);
        std::vector<ReceivedRecord> got;
        std::vector<std::string> shown, warned;
        std::atomic<bool> show{false}, running{true};
        CTransferDecoder dec(
            src, got, [&](const std::string& t) { shown.push_back(u8(t)); }, show, 10);
        dec.setWarningHandler([&](const std::string& t) { warned.push_back(u8(t)); });
        EXPECT_TRUE(dec.run(running));
        ASSERT_EQ(got.size(), 1u) << c.announced << " " << c.received;
        const ReceivedRecord& r = got[0];
        EXPECT_EQ(r.Announced, std::stoi(c.announced));
        EXPECT_EQ(r.LineCount, c.received);
        EXPECT_EQ(r.LineCountMismatch(), c.warning != nullptr);
        ASSERT_EQ(r.Points.size(), static_cast<std::size_t>(c.received));
        if (c.received > 0) { // times still run from the first line, 0.2 s apart
            EXPECT_DOUBLE_EQ(r.Points.back().elapsed, 0.2 * c.received);
        }
        EXPECT_EQ(warned,
                  c.warning ? std::vector<std::string>{c.warning} : std::vector<std::string>{});
        for (const std::string& t : shown)
            EXPECT_EQ(t.find("データ数不一致"), std::string::npos) << "warnings go apart";
    }
}

TEST(Decoder, CurrentScaleFollowsTheRangeFlag)
{
    for (int range = 0; range <= 1; ++range) {
        const std::string header = std::string("12344") + char('0' + range) + "01500055\r\n";
        Decoded d = decodeText(header + kDate + "000002012345\r\nFFFFFFFFFFFF\r\n" + kMarker);
        ASSERT_EQ(d.records.size(), 1u) << d.error;
        EXPECT_DOUBLE_EQ(d.records[0].Points[0].value.toDouble(), range ? 1234.5 : 12.345);
        EXPECT_DOUBLE_EQ(d.records[0].LastCurrent, range ? 1234.5 : 12.345);
    }
}

TEST(Decoder, CompletionComputesTriggersWithTheValidTime)
{
    // Lines 0.2 s apart from 2.0 s on (later time fields are ignored); 9.0 µA from 8.0 s to
    // 12.0 s, 1.0 µA otherwise, trigger setting 5.5 µA: only the part after 10 s counts.
    std::string lines;
    for (int i = 0; i < 60; ++i)
        lines += formatC("%06d%06d\r\n", i == 0 ? 20 : 999, (i >= 30 && i <= 50) ? 90 : 10);
    Decoded d = decodeText(kHeader + kDate + lines + "FFFFFFFFFFFF\r\n" + kMarker);
    ASSERT_EQ(d.records.size(), 1u) << d.error;
    const ReceivedRecord& r = d.records[0];
    ASSERT_EQ(r.Triggers.size(), 1u);
    EXPECT_NEAR(r.Triggers[0].start, 10.2, 1e-9);
    EXPECT_NEAR(r.Triggers[0].stop, 12.0, 1e-9);
    EXPECT_DOUBLE_EQ(r.Triggers[0].maximum.toDouble(), 9.0);
    EXPECT_DOUBLE_EQ(r.LastCurrent, 1.0);
    EXPECT_EQ(r.LineCount, 60);
}

TEST(Decoder, EndOfTransferAndMarkerCase)
{
    Decoded empty = decodeText("FFFF000000\r\n");
    EXPECT_TRUE(empty.complete);
    EXPECT_TRUE(empty.records.empty());
    EXPECT_EQ(empty.shown, std::vector<std::string>{"FFFF000000"});

    // A lower-case marker ends the record too; two records then the end block.
    const std::string rec = kHeader + kDate + "000002000100\r\nFFFFFFFFFFFF\r\n414243\r\n";
    Decoded two = decodeText(rec + "6B6172656E6F\r\n" + rec + kMarker + "FFFFFFFFFFFFFF\r\n");
    EXPECT_TRUE(two.complete) << two.error;
    EXPECT_EQ(two.records.size(), 2u);
}

// The current time, and a warning of the record (counted like a line-count mismatch).
TEST(Decoder, InvalidDateTakesTheCurrentTime)
{
    const OleDateTime before = OleDateTime::now();
    Decoded d = decodeText(kHeader + "0000051311120000\r\nFFFFFFFFFFFF\r\n" + kMarker +
                           "FFFFFFFFFFFFFF\r\n");
    ASSERT_EQ(d.records.size(), 1u) << d.error;
    EXPECT_EQ(d.records[0].StartTime.status, OleDateTime::Valid);
    EXPECT_GE(d.records[0].StartTime.date, before.date - 1e-6);
    EXPECT_TRUE(d.records[0].DateReplaced);
    EXPECT_EQ(d.warnings, std::vector<std::string>{"日付データ異常<0000051311120000>"});
    ASSERT_GE(d.shown.size(), 3u);
    EXPECT_EQ(d.shown[2], "現在時刻をセットします");

    // A time note after the record's end line (as the live reception's archive has it) gives
    // the record that time instead; a note elsewhere, or for a record with a good date, does
    // nothing.
    const std::string note = "#MXRVIEW TIME 2026/12/10 09:08:07\r\n";
    d = decodeText(kHeader + "0000051311120000\r\nFFFFFFFFFFFF\r\n" + note + kMarker + kHeader +
                   note + kDate + "FFFFFFFFFFFF\r\n" + note + kMarker + "FFFFFFFFFFFFFF\r\n");
    ASSERT_EQ(d.records.size(), 2u) << d.error;
    EXPECT_EQ(d.records[0].StartTime.format("%Y/%m/%d %H:%M:%S"), "2026/12/10 09:08:07");
    EXPECT_EQ(d.records[0].StartTime, *OleDateTime::parse("2026/12/10 09:08:07"));
    EXPECT_FALSE(d.records[1].DateReplaced);
    EXPECT_NE(d.records[1].StartTime.format("%Y/%m/%d %H:%M:%S"), "2026/12/10 09:08:07");
}

TEST(Decoder, DamagedBlocksRaiseTheDataError)
{
    const struct {
        std::string text;
        std::string error;
    } cases[] = {
        {"12\r\n", "受信データ異常<12>"},                     // header shorter than 2 bytes
        {"\r\n", "受信データ異常<>"},                         // empty line in place of a header
        {"123451015000\r\n", "受信データ異常<123451015000>"}, // header of 6 bytes
        {kHeader + kDate + "FF\r\n", "受信データ異常<FF>"},   // length is checked before 0xFF
        {kHeader + "00030512111200\r\n", "受信データ異常<00030512111200>"}, // date of 7 bytes
        {kHeader + kDate + "0000020001\r\n", "受信データ異常<0000020001>"}, // data line of 5
        {kHeader + "\r\n", "受信データ異常<>"},
    };
    for (const auto& c : cases) {
        Decoded d = decodeText(c.text);
        EXPECT_EQ(d.error, c.error) << c.text;
        EXPECT_TRUE(d.records.empty());
    }
}

TEST(Decoder, ReplayFileEndingEarly)
{
    const std::string rec = kHeader + kDate + "000002000100\r\n000004000200\r\n";
    // Cut in the trailer (after the end-of-data line): the record is handed over and the
    // transfer ends normally.
    Decoded trailer = decodeText(rec + "FFFFFFFFFFFF\r\n414243\r\n", true, 1000);
    EXPECT_TRUE(trailer.complete);
    EXPECT_EQ(trailer.records.size(), 1u);
    // Cut among the data lines: the end of the file ends the record's data, then the transfer.
    Decoded points = decodeText(rec, true, 1000);
    EXPECT_TRUE(points.complete);
    ASSERT_EQ(points.records.size(), 1u);
    EXPECT_EQ(points.records[0].Points.size(), 2u);
    // Cut after the header: the date block is missing, which is an error.
    Decoded date = decodeText(kHeader, true, 1000);
    EXPECT_EQ(date.error, "受信データ異常<FFFFFFFFFFFF>");
    // LF-only lines, lower-case digits and blanks around a line are read as well.
    Decoded lf = decodeText("12345101500055\n0003051211120000 \n000002000100\nffffffffffff\n");
    EXPECT_TRUE(lf.complete);
    EXPECT_EQ(lf.records.size(), 1u);
}

TEST(Decoder, ShowDataSwitchHidesOnlyDataAndTrailerLines)
{
    Decoded d = decodeText(kHeader + kDate + "000002000100\r\nFFFFFFFFFFFF\r\n" + kMarker +
                               "FFFFFFFFFFFFFF\r\n",
                           false);
    EXPECT_EQ(d.shown,
              (std::vector<std::string>{"12345101500055", "0003051211120000", "FFFFFFFFFFFFFF"}));
}

TEST(Decoder, OverlongReplayLineIsRefusedWithoutOverrun)
{
    const std::string huge(2 * kLineBufferSize + 40, '1');
    Decoded d = decodeText(kHeader + kDate + huge + "\r\n");
    ASSERT_FALSE(d.error.empty());
    EXPECT_EQ(d.error.size(), std::string("受信データ異常<>").size() + 2 * kLineBufferSize);
    // Exactly the buffer size is still a line (and then simply the wrong length).
    Decoded fits = decodeText(kHeader + kDate + std::string(2 * kLineBufferSize, '1') + "\r\n");
    EXPECT_EQ(fits.error.size(), std::string("受信データ異常<>").size() + 2 * kLineBufferSize);
}

TEST(Simulation, GeneratorAndACompleteTransfer)
{
    SimRandom r(1);
    EXPECT_EQ(r.next(), 41);
    EXPECT_EQ(r.next(), 18467);
    EXPECT_EQ(r.next(), 6334);
    SimRandom b(7);
    for (int i = 0; i < 1000; ++i) {
        const int v = b.between(50, 90);
        ASSERT_GE(v, 50);
        ASSERT_LE(v, 90);
    }

    const OleDateTime start = *OleDateTime::parse("2024/3/5 14:00:00");
    SimulationSource src(12345, start, 0);
    Decoded d = decode(src, false, 200000);
    EXPECT_TRUE(d.complete) << d.error;
    ASSERT_GE(d.records.size(), 2u);
    for (const ReceivedRecord& rec : d.records) {
        EXPECT_GE(rec.LineCount, 510);
        EXPECT_LE(rec.LineCount, 1500);
        EXPECT_EQ(rec.UsedPoints, rec.LineCount - 1); // the first line is at time 0
        EXPECT_EQ(rec.StartTime.format("%Y/%m/%d %H"), "2024/03/05 14");
        EXPECT_GE(rec.TriggerLevel, 5.0 - 1e-9);
        EXPECT_LE(rec.TriggerLevel, 9.0 + 1e-9);
    }
}
