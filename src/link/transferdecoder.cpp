// The transfer decoder's state machine and the helpers shared by its sources.
#include "link/transferdecoder.h"

#include <cstring>
#include <optional>

#include "model/cp932text.h"
#include "model/cxexception.h"
#include "model/number.h"
#include "model/oledate.h"

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

unsigned byteAt(std::string_view s, std::size_t i)
{
    return static_cast<unsigned char>(s[i]);
}

const char kMarker[] = "KARENO";

bool isMarkerLine(std::string_view line)
{
    if (line.size() < 6)
        return false;
    for (int i = 0; i < 6; ++i) {
        char c = line[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c != kMarker[i])
            return false;
    }
    return true;
}

} // namespace

std::string hexText(std::string_view bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char b : bytes) {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 0x0F]);
    }
    return out;
}

std::string bytesFromHex(std::string_view text)
{
    std::string out;
    out.reserve(text.size() / 2 + 1);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        int value = 0;
        const std::size_t end = std::min(text.size(), i + 2);
        for (std::size_t j = i; j < end; ++j) {
            const int d = hexDigit(text[j]);
            if (d < 0)
                break;
            value = value * 16 + d;
        }
        out.push_back(static_cast<char>(value));
    }
    return out;
}

void throwCommError(int result)
{
    throw CxException(formatC("%s [%d]", cp932::lit("通信異常").c_str(), result));
}

void throwDataError(std::string_view block)
{
    throw CxException(cp932::lit("受信データ異常<") + hexText(block) + ">");
}

bool decodeBcd(std::string_view bytes, int& out)
{
    int value = 0;
    bool first = true;
    for (unsigned char b : bytes) {
        for (const int digit : {b >> 4, b & 0x0F}) {
            if (digit > 9) {
                if (first)
                    return false;
                out = value;
                return true;
            }
            value = value * 10 + digit;
            first = false;
        }
    }
    out = value;
    return true;
}

CTransferDecoder::CTransferDecoder(ITransferSource& source, std::vector<ReceivedRecord>& received,
                                   ShowFn show, const std::atomic<bool>& showData,
                                   int triggValidSec)
    : m_source(source), m_received(received), m_show(std::move(show)), m_showData(showData),
      m_triggValidSec(triggValidSec)
{
}

void CTransferDecoder::restart()
{
    m_state = DecoderState::Header;
    m_work = ReceivedRecord();
    m_lines = 0;
    m_time = 0;
    m_recordStarted = false;
}

DecodeContext CTransferDecoder::context() const
{
    DecodeContext ctx;
    ctx.lineCount = m_lines;
    ctx.timeCount = m_time;
    ctx.announcedLines = m_work.LineCount;
    ctx.completed = m_received.size();
    return ctx;
}

bool CTransferDecoder::run(const std::atomic<bool>& running)
{
    while (running.load()) {
        if (!pass())
            return true;
    }
    return false;
}

bool CTransferDecoder::pass()
{
    m_source.beginPass();
    if (!takeNotes())
        return false;
    switch (m_state) {
    case DecoderState::Header: return header();
    case DecoderState::Date: date(); return true;
    case DecoderState::Points: points(); return true;
    case DecoderState::Trailer: return trailer();
    }
    return true;
}

// Applies the notes the source met: a record's time replaces the current time that a replay
// gave the record just completed, so that it gets the StartTime the live reception gave it;
// an end other than complete stops the run (false).
bool CTransferDecoder::takeNotes()
{
    for (const std::string& line : m_source.takeNotes()) {
        const std::optional<ReplayNote> note = ParseNote(line);
        if (!note)
            continue; // a later version's note: nothing to do with it here
        if (note->kind == ReplayNote::Kind::Time) {
            if (m_state == DecoderState::Trailer && !m_received.empty() &&
                m_received.back().DateReplaced) {
                m_received.back().StartTime = note->time;
                m_show(cp932::lit("受信時の時刻をセットします ") +
                       note->time.format("%Y/%m/%d %H:%M:%S"));
            }
        } else if (note->end != ReceptionEnd::Complete) {
            m_recordedEnd = note->end;
            return false;
        }
    }
    return true;
}

bool CTransferDecoder::header()
{
    m_work = ReceivedRecord();
    const std::string block = m_source.readHeader(context());
    m_show(hexText(block));
    if (block.size() < 2)
        throwDataError(block);
    if (byteAt(block, 0) == 0xFF && byteAt(block, 1) == 0xFF)
        return false; // end of the transfer
    m_recordStarted = true;
    if (block.size() != 7)
        throwDataError(block);

    const std::string_view b(block);
    int dataNo = 0, voltage = 0, trigger = 0;
    if (!decodeBcd(b.substr(0, 2), dataNo) || !decodeBcd(b.substr(3, 2), voltage) ||
        !decodeBcd(b.substr(5, 2), trigger))
        throwDataError(block);
    const unsigned status = byteAt(b, 2);
    m_work.DataNo = dataNo;
    m_work.StatusFlag = (status >> 6) & 1;
    m_work.RangeFlag = status & 1;
    static const int32_t kinds[4] = {CabKindR, CabKindS, CabKindT, CabKindThreePhase};
    m_work.Condition.CabKind = kinds[(status >> 4) & 3];
    m_work.TestVoltage = voltage * 0.01;
    m_work.TriggerLevel = trigger * 0.1;

    m_source.afterHeader();
    m_lines = 0;
    m_time = 0;
    m_state = DecoderState::Date;
    return true;
}

void CTransferDecoder::date()
{
    const std::string block = m_source.readDate(context());
    m_show(hexText(block));
    if (block.size() != 8)
        throwDataError(block);
    const std::string_view b(block);
    // A field without a value (first digit A-F) is no error here: the announced count is
    // replaced when the record ends, and a date that cannot be read takes the current time.
    int fields[7] = {};
    decodeBcd(b.substr(0, 2), fields[0]);
    bool dateRead = true;
    for (int i = 1; i < 7; ++i)
        dateRead = decodeBcd(b.substr(i + 1, 1), fields[i]) && dateRead;
    m_work.LineCount = fields[0];
    m_work.Announced = fields[0];
    const std::string text = formatC("%d/%d/%d %d:%d:%d", fields[1] + 2000, fields[2], fields[3],
                                     fields[4], fields[5], fields[6]);
    std::optional<OleDateTime> parsed;
    if (dateRead)
        parsed = OleDateTime::parse(text);
    if (parsed) {
        m_work.StartTime = *parsed;
    } else {
        // A warning of the record: counted and shown like a line-count mismatch.
        m_work.StartTime = OleDateTime::now();
        m_work.DateReplaced = true;
        (m_warn ? m_warn : m_show)(cp932::lit("日付データ異常<") + hexText(block) + ">");
        m_show(cp932::lit("現在時刻をセットします"));
    }
    m_state = DecoderState::Points;
}

void CTransferDecoder::points()
{
    const std::string line = m_source.readDataLine(context());
    if (m_showData.load(std::memory_order_relaxed))
        m_show(hexText(line));
    if (line.size() != 6)
        throwDataError(line);
    const std::string_view b(line);
    if (byteAt(b, 0) == 0xFF) {
        m_work.LineCount = m_lines;
        m_work.RecalcFinalAndTriggers(-1, m_triggValidSec);
        m_received.push_back(m_work);
        m_recordStarted = false;
        m_state = DecoderState::Trailer;
        // The time given now is kept beside the record's lines, so a replay gives it again.
        if (m_work.DateReplaced && m_note)
            m_note(TimeNote(m_work.StartTime));
        // The record stays as decoded; the user decides whether to register it.
        if (m_work.LineCountMismatch()) {
            const std::string text =
                formatC("%s %d/%d", cp932::lit("データ数不一致").c_str(),
                        static_cast<int>(m_work.Announced), static_cast<int>(m_work.LineCount));
            (m_warn ? m_warn : m_show)(text);
        }
        return;
    }
    int current = 0;
    if (!decodeBcd(b.substr(3, 3), current))
        throwDataError(line);
    if (m_time == 0) {
        // The tester's clock is taken from the first line only; later time fields are not
        // read at all, so a damaged one there costs nothing.
        int time = 0;
        if (!decodeBcd(b.substr(0, 3), time))
            throwDataError(line);
        m_time = time;
    }
    const double elapsed = m_time * 0.1;
    if (elapsed > 0) {
        CMeasPoint p;
        p.elapsed = elapsed;
        p.value.setDouble(current * (m_work.RangeFlag == 1 ? 0.1 : 0.001));
        m_work.Points.push_back(std::move(p));
    }
    ++m_lines;
    m_time += 2;
}

bool CTransferDecoder::trailer()
{
    const std::string line = m_source.readTrailerLine(context());
    if (m_showData.load(std::memory_order_relaxed))
        m_show(hexText(line));
    if (isMarkerLine(line)) {
        m_state = DecoderState::Header;
        return true;
    }
    // A replay file that ends after a complete record but before its marker: the transfer
    // ends normally and the completed records are handed over (waiting for a cancel here
    // would discard them all).
    return !m_source.atEnd();
}
