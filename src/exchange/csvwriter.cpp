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

// Appends text and a line end. Line breaks inside a text (a remark typed on several lines)
// become CR LF like every line end; a CR LF already there is not doubled.
void addLine(std::string& out, std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n' && (i == 0 || text[i - 1] != '\r'))
            out += '\r';
        out += c;
    }
    out += "\r\n";
}

void addPair(std::string& out, std::string_view label, std::string_view value)
{
    std::string line;
    line.reserve(label.size() + 2 + value.size());
    line.append(label).append(", ").append(value);
    addLine(out, line);
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

std::string CsvContent(const CsvNames& names, const CMeasRecord& r, const CsvLabels& labels)
{
    using namespace mxrfmt;
    const CTestCondition& c = r.Condition;
    const std::size_t used =
        std::min(r.Points.size(), static_cast<std::size_t>(std::max(r.UsedPoints, 0)));

    std::string out;
    out.reserve(1024 + 48 * (used + r.Triggers.size()));
    addLine(out, lit("成績表"));
    addPair(out, labels.customer, names.customer);
    addPair(out, labels.cable, names.cable);
    addPair(out, labels.measName, names.measData);
    addPair(out, lit("試験日時"), StartDateTimeText(r));
    addPair(out, lit("試験電圧(kV)"), TestVoltageText(r));
    addPair(out, lit("最終値(μA)"), LastCurrentText(r));
    addPair(out, lit("ﾄﾘｶﾞ設定値(μA)"), TriggerLevelText(r));
    addPair(out, lit("成極比"), SeikyokuJudgedText(r));
    addPair(out, lit("弱点比"), JyakutenJudgedText(r));
    addPair(out, lit("条件"), ConditionText(c));
    addPair(out, lit("Ｒ(mA)"), NumberText(c.CurrentR));
    addPair(out, lit("Ｓ(mA)"), NumberText(c.CurrentS));
    addPair(out, lit("Ｔ(mA)"), NumberText(c.CurrentT));
    addPair(out, lit("断面積(sq)"), NumberText(c.CabSectionalArea));
    addPair(out, lit("亘長(m)"), NumberText(c.CabLength));
    addPair(out, lit("判定基準：成極比"), SeikyokuCriterionText(c));
    addPair(out, lit("判定基準：弱点比"), JyakutenCriterionText(c));
    addPair(out, lit("備考"), c.Remarks);
    addLine(out, "");

    addLine(out, lit("トリガーデータ一覧"));
    addLine(out, lit("発生時, 停止時, 最大値"));
    for (const CTriggerEvent& e : r.Triggers) {
        addLine(out, TriggerStartText(e) + ", " + TriggerStopText(e) + ", " +
                         TriggerMaxText(e, r.RangeFlag));
    }
    addLine(out, "");

    addLine(out, labels.measList + lit("一覧"));
    addPair(out, lit("測定時間"), labels.measList);
    for (std::size_t i = 0; i < used; ++i) {
        const CMeasPoint& p = r.Points[i];
        out += PointTimeText(p);
        out += ", ";
        out += PointValueText(p, r.RangeFlag);
        out += "\r\n";
    }
    addLine(out, "");
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

CsvWriteOutcome WriteCsvFile(const std::string& givenPath, std::string_view content,
                             const CsvWriteOptions& options)
{
    const std::string shownPath = absolutePath(givenPath);
    safefile::ReplaceOutcome r;
    try {
        r = safefile::ReplaceFile(shownPath, {options.openWaitMs, options.openRetryMs},
                                  options.syncToDisk, [content](int fd) {
                                      if (!safefile::WriteAll(fd, content))
                                          throw WriteFailure{errno};
                                  });
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

CsvWriteOutcome WriteCsv(const std::string& path, const CsvNames& names, const CMeasRecord& record,
                         const CsvLabels& labels, const CsvWriteOptions& options)
{
    try {
        return WriteCsvFile(path, CsvEncode(CsvContent(names, record, labels), options.encoding),
                            options);
    } catch (const std::bad_alloc&) {
        return failure(CsvWriteStatus::OutOfMemory,
                       threeLines("メモリ不足", lit("メモリを確保できません")), path);
    } catch (const std::exception& x) {
        return failure(CsvWriteStatus::OtherError, threeLines("例外発生", x.what()), path);
    }
}
