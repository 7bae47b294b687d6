// Damaged bytes in the stream: BCD fields holding the hex letters A-F, read the same way from
// the serial line and from a replay file, and the marker hunt that follows a decode error.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "link/memoryport.h"
#include "link/replaysource.h"
#include "link/serialsource.h"
#include "link/transferdecoder.h"
#include "linktestutil.h"
#include "model/cxexception.h"

namespace {

// One record: header, date block, two data lines. Range 1, so the current is x 0.1 µA.
struct Stream {
    std::string header = std::string("\x12\x34\x51\x01\x50\x00\x55", 7);
    std::string date = std::string("\x00\x02\x05\x12\x11\x12\x45\x00", 8); // 2005/12/11 12:45:00
    std::string line1 = std::string("\x00\x00\x10\x01\x23\x45", 6);        // 1.0 s, 1234.5 µA
    std::string line2 = std::string("\x00\x00\x99\x00\x10\x00", 6);        // time unused, 100 µA

    // As the tester sends it: the ignored header and date bytes, CR-terminated lines, the
    // end-of-data line, a trailer with the marker, the end of the transfer.
    std::string serial() const
    {
        return header + '\0' + date + '\0' + line1 + '\r' + line2 + '\r' + std::string(6, '\xFF') +
               "\r\rKARENO\r" + std::string(8, '\xFF');
    }
    // The same as a replay file.
    std::string replay() const
    {
        std::string text;
        for (const std::string& b : {header, date, line1, line2, std::string(6, '\xFF'),
                                     std::string("KARENO"), std::string(7, '\xFF')})
            text += hexText(b) + "\r\n";
        return text;
    }
};

struct Outcome {
    std::vector<ReceivedRecord> records;
    std::vector<std::string> shown;
    std::string error;
};

Outcome decodeAll(ITransferSource& source)
{
    Outcome o;
    std::atomic<bool> show{false};
    CTransferDecoder dec(
        source, o.records, [&](const std::string& t) { o.shown.push_back(u8(t)); }, show, 10);
    try {
        for (int i = 0; i < 100 && dec.pass(); ++i) {
        }
    } catch (const CxException& e) {
        o.error = u8(e.Message());
    }
    return o;
}

// The bytes of a literal, NULs included.
template <std::size_t N> std::string B(const char (&literal)[N])
{
    return std::string(literal, N - 1);
}

bool contains(const std::vector<std::string>& lines, const std::string& text)
{
    return std::find(lines.begin(), lines.end(), text) != lines.end();
}

} // namespace

// Every field read as digits up to the first hex letter; a field whose first digit is a letter
// fails only where its value is needed and nothing can stand in for it.
TEST(DamagedFields, HexLettersInEachFieldOnSerialAndReplay)
{
    using Check = std::function<void(const Outcome&)>;
    const auto value = [](std::function<double(const ReceivedRecord&)> get, double expected) {
        return Check([get, expected](const Outcome& o) {
            ASSERT_EQ(o.records.size(), 1u) << o.error;
            EXPECT_DOUBLE_EQ(get(o.records[0]), expected);
        });
    };
    const auto lost = [](const std::string& block) {
        return Check([block](const Outcome& o) {
            EXPECT_EQ(o.error, "受信データ異常<" + block + ">");
            EXPECT_TRUE(o.records.empty());
        });
    };
    const auto minute = [](const std::string& expected) {
        return Check([expected](const Outcome& o) {
            ASSERT_EQ(o.records.size(), 1u) << o.error;
            EXPECT_EQ(o.records[0].StartTime.format("%Y/%m/%d %H:%M:%S"), expected);
            EXPECT_FALSE(contains(o.shown, "現在時刻をセットします"));
        });
    };
    const auto dataNo = [](const ReceivedRecord& r) { return double(r.DataNo); };
    const auto firstTime = [](const ReceivedRecord& r) { return r.Points.at(0).elapsed; };
    const auto secondTime = [](const ReceivedRecord& r) { return r.Points.at(1).elapsed; };
    const auto firstCurrent = [](const ReceivedRecord& r) {
        return r.Points.at(0).value.toDouble();
    };

    const struct {
        const char* name;
        std::string Stream::*block;
        std::size_t at;
        std::string bytes;
        Check check;
    } cases[] = {
        {"header plain", &Stream::header, 0, B("\x12\x34"), value(dataNo, 1234)},
        {"header later letter", &Stream::header, 0, B("\x12\x3A"), value(dataNo, 123)},
        {"header first letter", &Stream::header, 0, B("\xA2\x34"), lost("A2345101500055")},
        {"date plain", &Stream::date, 6, B("\x45"), minute("2005/12/11 12:45:00")},
        {"date later letter", &Stream::date, 6, B("\x4C"), minute("2005/12/11 12:04:00")},
        {"date first letter", &Stream::date, 6, B("\xC5"),
         [](const Outcome& o) {
             ASSERT_EQ(o.records.size(), 1u) << o.error; // kept, with the current time
             EXPECT_GE(o.records[0].StartTime.date, OleDateTime::now().date - 1.0 / 24);
             EXPECT_TRUE(contains(o.shown, "日付データ異常<000205121112C500>"));
             EXPECT_TRUE(contains(o.shown, "現在時刻をセットします"));
         }},
        {"first time plain", &Stream::line1, 0, B("\x00\x00\x10"), value(firstTime, 1.0)},
        {"first time later letter", &Stream::line1, 0, B("\x00\x01\xA0"), value(firstTime, 0.1)},
        {"first time first letter", &Stream::line1, 0, B("\xA0\x00\x10"), lost("A00010012345")},
        {"later time plain", &Stream::line2, 0, B("\x00\x00\x99"), value(secondTime, 1.2)},
        {"later time later letter", &Stream::line2, 0, B("\x00\x9A\x99"), value(secondTime, 1.2)},
        {"later time first letter", &Stream::line2, 0, B("\xAB\xCD\xEF"), value(secondTime, 1.2)},
        {"current plain", &Stream::line1, 3, B("\x01\x23\x45"), value(firstCurrent, 1234.5)},
        {"current later letter", &Stream::line1, 3, B("\x01\x2A\x45"), value(firstCurrent, 1.2)},
        {"current first letter", &Stream::line1, 3, B("\xA1\x23\x45"), lost("000010A12345")},
    };
    for (const auto& c : cases) {
        Stream s;
        (s.*c.block).replace(c.at, c.bytes.size(), c.bytes);

        SCOPED_TRACE(std::string(c.name) + ", serial");
        const std::string bytes = s.serial();
        MemorySerialPort port(bytes);
        SerialSource serial(port);
        c.check(decodeAll(serial));
    }
    for (const auto& c : cases) {
        Stream s;
        (s.*c.block).replace(c.at, c.bytes.size(), c.bytes);

        SCOPED_TRACE(std::string(c.name) + ", replay");
        ReplaySource replay;
        replay.attachText(s.replay());
        c.check(decodeAll(replay));
    }
}

// The hunt after an error: only the exact marker, a byte that breaks the match is not compared
// again, and the hunt reads on to the end of the marker line.
TEST(MarkerHunt, MatchesOnlyTheExactMarkerAndEndsAfterItsLine)
{
    // After the matching marker line comes a header starting with 'H'; where the hunt must
    // pass a false marker, the genuine one that follows is followed by 'G'.
    const std::string genuine = "\r\rKARENO\rG";
    const struct {
        std::string stream;
        char nextByte;
    } cases[] = {
        {"\x12\x34KARENO\rH", 'H'},
        {"\x12KKARENO\r" + genuine, 'G'}, // the second K breaks the match and is not retried
        {"\x12kareno\r" + genuine, 'G'},  // case matters in the hunt
        {"KAREKARENO\r" + genuine, 'G'},  // the same inside a broken match
        {std::string("KAR\0ENO\r", 8) + genuine, 'G'},
        {"KARENO xyz\rH", 'H'}, // the rest of the marker line is read too
    };
    for (const auto& c : cases) {
        MemorySerialPort port(c.stream);
        huntMarker(port);
        unsigned char b = 0;
        std::size_t got = 0;
        ASSERT_EQ(port.Read(&b, 1, got), 0) << hexText(c.stream);
        EXPECT_EQ(b, static_cast<unsigned char>(c.nextByte)) << hexText(c.stream);
    }
    // A read that fails during the hunt ends it with the communication error.
    MemorySerialPort silent("KKARE");
    try {
        huntMarker(silent);
        ADD_FAILURE() << "the hunt ended without a marker";
    } catch (const CxException& e) {
        EXPECT_EQ(u8(e.Message()), "通信異常 [-2]");
    }
}
