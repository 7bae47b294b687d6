// The CSV text output: building the lines from the display texts and writing them atomically.
#include "exchange/csvwriter.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <new>
#include <thread>

#include "model/cp932text.h"
#include "model/format.h"
#include "model/number.h"
#include "model/safefile.h"

namespace {

using cp932::lit;

// Source position shown in the third line of a write failure; kept as users and support
// staff know it from earlier versions of the program.
constexpr const char* kSourcePosition = ".\\D_CsvOut";
constexpr int kSourceLine = 117;
constexpr std::size_t kMaxDescription = 99;

// The file's bytes collected in one buffer that is written into through a pointer. Without a
// sink the buffer grows to hold the whole text; with one, it is handed to the sink whenever it
// holds kChunkBytes after a whole list line (an ASCII line, so no double-byte character and no
// UTF-8 conversion is split) and then reused, so the file is written while it is built.
class CsvBuffer {
public:
    using Sink = std::function<void(std::string_view)>;
    static constexpr std::size_t kChunkBytes = 256 * 1024;

    CsvBuffer(std::string& storage, Sink sink, std::size_t expectedBytes)
        : m_storage(storage), m_sink(std::move(sink))
    {
        m_storage.resize(
            std::max(m_storage.capacity(), m_sink ? kChunkBytes + kMaxLineBytes : expectedBytes));
    }

    // A place for n more bytes; commit says where the written ones end.
    char* room(std::size_t n)
    {
        if (m_used + n > m_storage.size())
            m_storage.resize(std::max(2 * m_storage.size(), m_used + n));
        return m_storage.data() + m_used;
    }
    void commit(const char* end) { m_used = static_cast<std::size_t>(end - m_storage.data()); }

    void append(std::string_view text)
    {
        char* p = room(text.size());
        std::memcpy(p, text.data(), text.size());
        commit(p + text.size());
    }

    // Appends text and a line end. Line breaks inside a text (a remark typed on several lines)
    // become CR LF like every line end; a CR LF already there is not doubled.
    void addLine(std::string_view text)
    {
        char* const start = room(2 * text.size() + 2);
        char* p = start;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const char c = text[i];
            if (c == '\n' && (i == 0 || text[i - 1] != '\r'))
                *p++ = '\r';
            *p++ = c;
        }
        commit(lineEnd(p));
    }

    void addPair(std::string_view label, std::string_view value)
    {
        std::string line;
        line.reserve(label.size() + 2 + value.size());
        line.append(label).append(", ").append(value);
        addLine(line);
    }

    // Called after each list line: hands a full chunk to the sink.
    void lineDone()
    {
        if (m_sink && m_used >= kChunkBytes)
            flush();
    }

    // Hands the rest to the sink, or cuts the buffer to the text.
    void finish()
    {
        if (m_sink)
            flush();
        else
            m_storage.resize(m_used);
    }

    static char* separator(char* p)
    {
        p[0] = ',';
        p[1] = ' ';
        return p + 2;
    }
    static char* lineEnd(char* p)
    {
        p[0] = '\r';
        p[1] = '\n';
        return p + 2;
    }

    // The longest list line: two times and a current, two separators and the line end.
    static constexpr std::size_t kMaxLineBytes =
        2 * mxrfmt::kMaxElapsedChars + mxrfmt::kMaxCurrentChars + 8;

private:
    void flush()
    {
        if (m_used > 0)
            m_sink(std::string_view(m_storage.data(), m_used));
        m_used = 0;
    }

    std::string& m_storage;
    Sink m_sink;
    std::size_t m_used = 0;
};

// Bytes of a typical point line ("03:15.2,  12.345" and CR LF), to size the whole text once.
constexpr std::size_t kTypicalLineBytes = 20;

// Builds the file's text into buffer (see CsvBuffer).
void buildCsv(CsvBuffer& b, const CsvNames& names, const CMeasRecord& r, const CsvLabels& labels)
{
    using namespace mxrfmt;
    const CTestCondition& c = r.Condition;
    const std::size_t used =
        std::min(r.Points.size(), static_cast<std::size_t>(std::max(r.UsedPoints, 0)));

    b.addLine(lit("成績表"));
    b.addPair(labels.customer, names.customer);
    b.addPair(labels.cable, names.cable);
    b.addPair(labels.measName, names.measData);
    b.addPair(lit("試験日時"), StartDateTimeText(r));
    b.addPair(lit("試験電圧(kV)"), TestVoltageText(r));
    b.addPair(lit("最終値(μA)"), LastCurrentText(r));
    b.addPair(lit("ﾄﾘｶﾞ設定値(μA)"), TriggerLevelText(r));
    b.addPair(lit("成極比"), SeikyokuJudgedText(r));
    b.addPair(lit("弱点比"), JyakutenJudgedText(r));
    b.addPair(lit("条件"), ConditionText(c));
    b.addPair(lit("Ｒ(mA)"), NumberText(c.CurrentR));
    b.addPair(lit("Ｓ(mA)"), NumberText(c.CurrentS));
    b.addPair(lit("Ｔ(mA)"), NumberText(c.CurrentT));
    b.addPair(lit("断面積(sq)"), NumberText(c.CabSectionalArea));
    b.addPair(lit("亘長(m)"), NumberText(c.CabLength));
    b.addPair(lit("判定基準：成極比"), SeikyokuCriterionText(c));
    b.addPair(lit("判定基準：弱点比"), JyakutenCriterionText(c));
    b.addPair(lit("備考"), c.Remarks);
    b.addLine("");

    b.addLine(lit("トリガーデータ一覧"));
    b.addLine(lit("発生時, 停止時, 最大値"));
    // The lists are the bulk of a long record: every value is written straight into the
    // buffer, with no string made per value or line.
    for (const CTriggerEvent& e : r.Triggers) {
        char* p = WriteElapsed(b.room(CsvBuffer::kMaxLineBytes), e.start);
        p = WriteElapsed(CsvBuffer::separator(p), e.stop);
        p = WriteCurrent(CsvBuffer::separator(p), e.maximum.toDouble(), r.RangeFlag);
        b.commit(CsvBuffer::lineEnd(p));
        b.lineDone();
    }
    b.addLine("");

    b.addLine(labels.measList + lit("一覧"));
    b.addPair(lit("測定時間"), labels.measList);
    for (std::size_t i = 0; i < used; ++i) {
        const CMeasPoint& pt = r.Points[i];
        char* p = WriteElapsed(b.room(CsvBuffer::kMaxLineBytes), pt.elapsed);
        p = WriteCurrent(CsvBuffer::separator(p), pt.value.toDouble(), r.RangeFlag);
        b.commit(CsvBuffer::lineEnd(p));
        b.lineDone();
    }
    b.addLine("");
    b.finish();
}

std::size_t expectedBytes(const CMeasRecord& r)
{
    return 1024 + kTypicalLineBytes * (r.Points.size() + r.Triggers.size());
}

// An error raised while the file is written: errno and the step.
struct WriteFailure {
    int error;
};

// Paths are UTF-8 here; shown in CP932 when they have that form, else as they are.
std::string displayPath(const std::string& path)
{
    const auto converted = cp932::fromUtf8(path);
    return converted ? *converted : path;
}

CsvWriteOutcome failure(CsvWriteStatus status, std::string message, const std::string& path)
{
    CsvWriteOutcome out;
    out.ok = false;
    out.status = status;
    out.message = std::move(message);
    out.path = path;
    return out;
}

CsvWriteOutcome openError(const std::string& path)
{
    return failure(CsvWriteStatus::OpenError, "OpenError\n" + displayPath(path), path);
}

std::string threeLines(std::string_view kindUtf8, const std::string& description)
{
    const std::string cut = cp932::cutToBytes(description, kMaxDescription);
    return formatC("%s\n%s\n%s(%d)", lit(kindUtf8).c_str(), cut.c_str(), kSourcePosition,
                   kSourceLine);
}

std::string errnoName(int err)
{
    const char* name = strerrorname_np(err);
    return name ? std::string(name) : formatC("errno %d", err);
}

std::string absolutePath(const std::string& path)
{
    std::error_code ec;
    const auto abs = std::filesystem::absolute(std::filesystem::path(path), ec);
    return ec ? path : abs.lexically_normal().string();
}

} // namespace

CsvLabels CsvLabelsFor(const std::string& titleCustomer, const std::string& titleCable,
                       const std::string& titleMeasurement)
{
    CsvLabels l;
    l.customer = titleCustomer.empty() ? lit("需要家名称") : titleCustomer;
    l.cable = titleCable.empty() ? lit("ケーブル名称") : titleCable;
    l.measName = titleMeasurement.empty() ? lit("測定データ名称") : titleMeasurement;
    l.measList = titleMeasurement.empty() ? lit("測定データ") : titleMeasurement;
    return l;
}

void CsvContentInto(std::string& out, const CsvNames& names, const CMeasRecord& r,
                    const CsvLabels& labels)
{
    CsvBuffer buffer(out, nullptr, expectedBytes(r));
    buildCsv(buffer, names, r, labels);
}

std::string CsvContent(const CsvNames& names, const CMeasRecord& r, const CsvLabels& labels)
{
    std::string out;
    CsvContentInto(out, names, r, labels);
    return out;
}

std::string CsvDefaultFileName(const CMeasRecord& r)
{
    return "DAT_" + r.StartTime.format("%Y%m%d_%H%M%S") + ".CSV";
}

std::string CsvJoinPath(const std::string& folder, const std::string& fileName)
{
    if (!folder.empty() && folder.back() == '/')
        return folder + fileName;
    return folder + "/" + fileName;
}

std::optional<CsvEncoding> CsvEncodingFromName(std::string_view name)
{
    if (name == "cp932")
        return CsvEncoding::Cp932;
    if (name == "utf8bom")
        return CsvEncoding::Utf8Bom;
    return std::nullopt;
}

const char* CsvEncodingName(CsvEncoding encoding)
{
    return encoding == CsvEncoding::Utf8Bom ? "utf8bom" : "cp932";
}

std::string CsvEncode(std::string cp932Content, CsvEncoding encoding)
{
    if (encoding == CsvEncoding::Cp932)
        return cp932Content;
    return "\xEF\xBB\xBF" + cp932::toUtf8(cp932Content);
}

namespace {

// Replaces the file at givenPath with what write(fd) produces and turns the result into the
// outcome the user is shown.
CsvWriteOutcome replaceWith(const std::string& givenPath, const CsvWriteOptions& options,
                            const std::function<void(int fd)>& write)
{
    const std::string shownPath = absolutePath(givenPath);
    safefile::ReplaceOutcome r;
    try {
        r = safefile::ReplaceFile(shownPath, {options.openWaitMs, options.openRetryMs},
                                  options.syncToDisk, write);
    } catch (const WriteFailure& f) {
        r = {safefile::ReplaceStatus::IoFailed, f.error};
    } catch (const std::bad_alloc&) {
        return failure(CsvWriteStatus::OutOfMemory,
                       threeLines("メモリ不足", lit("メモリを確保できません")), shownPath);
    }
    if (r.status == safefile::ReplaceStatus::OpenFailed)
        return openError(shownPath);
    if (r.status == safefile::ReplaceStatus::IoFailed) {
        const std::string description =
            r.error == ENOSPC
                ? lit("ディスクの空き容量が不足しています")
                : lit("ファイルの書き込みに失敗しました") + "(" + errnoName(r.error) + ")";
        return failure(CsvWriteStatus::FileError, threeLines("ﾌｧｲﾙｱｸｾｽ異常", description),
                       shownPath);
    }
    CsvWriteOutcome out;
    out.path = shownPath;
    return out;
}

// Writes chunks to fd as they are built. When the file goes to disk, the kernel is asked to
// start writing each chunk at once, so the final flush finds little left to do and the disk
// works while the rest of the text is built.
class ChunkWriter {
public:
    ChunkWriter(int fd, const CsvWriteOptions& options) : m_fd(fd), m_options(options) {}

    void operator()(std::string_view chunk)
    {
        if (m_options.encoding == CsvEncoding::Utf8Bom) {
            m_encoded.clear();
            if (m_offset == 0)
                m_encoded = "\xEF\xBB\xBF";
            m_encoded += cp932::toUtf8(chunk);
            chunk = m_encoded;
        }
        if (!safefile::WriteAll(m_fd, chunk))
            throw WriteFailure{errno};
        if (m_options.syncToDisk)
            ::sync_file_range(m_fd, m_offset, static_cast<off_t>(chunk.size()),
                              SYNC_FILE_RANGE_WRITE);
        m_offset += static_cast<off_t>(chunk.size());
    }

private:
    int m_fd;
    const CsvWriteOptions& m_options;
    off_t m_offset = 0;
    std::string m_encoded;
};

} // namespace

CsvWriteOutcome WriteCsvFile(const std::string& givenPath, std::string_view content,
                             const CsvWriteOptions& options)
{
    return replaceWith(givenPath, options, [content](int fd) {
        if (!safefile::WriteAll(fd, content))
            throw WriteFailure{errno};
    });
}

CsvWriteOutcome WriteCsv(const std::string& path, const CsvNames& names, const CMeasRecord& record,
                         const CsvLabels& labels, const CsvWriteOptions& options)
{
    try {
        return replaceWith(path, options, [&](int fd) {
            std::string storage;
            CsvBuffer buffer(storage, ChunkWriter(fd, options), 0);
            buildCsv(buffer, names, record, labels);
        });
    } catch (const std::bad_alloc&) {
        return failure(CsvWriteStatus::OutOfMemory,
                       threeLines("メモリ不足", lit("メモリを確保できません")), path);
    } catch (const std::exception& x) {
        return failure(CsvWriteStatus::OtherError, threeLines("例外発生", x.what()), path);
    }
}
