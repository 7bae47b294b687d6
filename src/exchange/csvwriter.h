// The CSV text output of one measurement: the exact CP932 bytes of the file, its proposed
// name, and the atomic write with the messages the user is shown.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "model/measrecord.h"

// The three names the file is headed with (CP932).
struct CsvNames {
    std::string customer;
    std::string cable;
    std::string measData;
};

// The labels of the three levels as the file writes them (CP932). A configured level title
// replaces the defaults "需要家名称", "ケーブル名称", "測定データ名称" and "測定データ".
struct CsvLabels {
    std::string customer; // line 2
    std::string cable;    // line 3
    std::string measName; // line 4
    std::string measList; // "%s一覧" and the header of the point list
};

// The labels for the configured "title" texts of system.ini (empty: the defaults).
CsvLabels CsvLabelsFor(const std::string& titleCustomer, const std::string& titleCable,
                       const std::string& titleMeasurement);

// The file content: every line followed by CR LF, texts written as they stand (no quoting).
// Only the first UsedPoints points are written, and never more than the record holds.
std::string CsvContent(const CsvNames& names, const CMeasRecord& record, const CsvLabels& labels);
// The same into out, which is cleared first and keeps its capacity, so a caller writing many
// files builds them all in one buffer.
void CsvContentInto(std::string& out, const CsvNames& names, const CMeasRecord& record,
                    const CsvLabels& labels);

// "DAT_%s.CSV" with the start time as "%Y%m%d_%H%M%S" ("DAT_Invalid DateTime.CSV" for an
// invalid one). ASCII only.
std::string CsvDefaultFileName(const CMeasRecord& record);

// folder + '/' + file name (no doubled separator when the folder already ends with one).
std::string CsvJoinPath(const std::string& folder, const std::string& fileName);

// The encoding of the written file: the CP932 bytes as built (the default, as files have
// always been written), or the same text in UTF-8 after a byte-order mark, which current
// spreadsheet programs recognise.
enum class CsvEncoding { Cp932, Utf8Bom };

// "cp932" and "utf8bom", as the settings and the command line spell them; nothing for any
// other text.
std::optional<CsvEncoding> CsvEncodingFromName(std::string_view name);
const char* CsvEncodingName(CsvEncoding encoding);

// The file's bytes for the content built by CsvContent. Bytes without a CP932 meaning become
// U+FFFD in UTF-8.
std::string CsvEncode(std::string cp932Content, CsvEncoding encoding);

struct CsvWriteOptions {
    // Another program holding the file: try again every openRetryMs until openWaitMs passed.
    int openWaitMs = 60000;
    int openRetryMs = 200;
    // Flush the new file to disk before it replaces the old one (benchmarks turn this off).
    bool syncToDisk = true;
    // The encoding WriteCsv writes in (WriteCsvFile writes the bytes it is given).
    CsvEncoding encoding = CsvEncoding::Cp932;
};

enum class CsvWriteStatus {
    Ok,
    OpenError,   // "OpenError\n<absolute path>"
    FileError,   // three lines, "ﾌｧｲﾙｱｸｾｽ異常"
    OutOfMemory, // three lines, "メモリ不足"
    OtherError,  // three lines, "例外発生"
};

struct CsvWriteOutcome {
    bool ok = true;
    CsvWriteStatus status = CsvWriteStatus::Ok;
    // The text to show and to write to the application log (CP932); empty on success.
    std::string message;
    // The absolute path written (native, UTF-8).
    std::string path;
};

// Writes content to path (made absolute against the current directory). The bytes go to a
// temporary file beside the target, are flushed and renamed over it, so a failure never
// leaves a half-written file and an older file stays as it was. A target held locked by
// another copy of the program is waited for (see CsvWriteOptions).
CsvWriteOutcome WriteCsvFile(const std::string& path, std::string_view content,
                             const CsvWriteOptions& options = {});

// CsvContent and WriteCsvFile in one step, as the dialog and mxrtool write: an error while the
// content is built gives the three-line message too.
CsvWriteOutcome WriteCsv(const std::string& path, const CsvNames& names, const CMeasRecord& record,
                         const CsvLabels& labels, const CsvWriteOptions& options = {});
