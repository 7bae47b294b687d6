// The cable register as a CSV file, for a spreadsheet kept before the register existed and for
// taking the register elsewhere: one header row of the Japanese column names, one row per
// cable, CR LF line ends, fields quoted where they hold a comma, a quote or a line break.
// Written in CP932 or as UTF-8 after a byte-order mark, as the measurement CSV is; read in
// either (a byte-order mark says UTF-8).
//
// An import checks every row before it writes anything: a bad row is reported with its line,
// column and reason, and then nothing is written. A good file is written in one transaction
// with one journal entry. A row replaces the whole entry of its cable (an empty cell empties
// the field); entries of cables the file does not name stay as they are. Rows may name
// cables the tree does not hold: they are kept and listed as orphans, so a register can be
// brought in before the measurements.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "exchange/csvwriter.h"
#include "workspace/cableregister.h"

class CCustomerDB;

namespace ws {

// The header's column names, in the order written (UTF-8).
const std::vector<std::string>& RegisterCsvColumns();

// The file's bytes for the entries, in the encoding.
std::string RegisterCsvContent(const std::vector<CableRegisterEntry>& entries,
                               CsvEncoding encoding);

struct RegisterCsvError {
    int line = 0;       // from 1, the header being line 1
    std::string column; // the column's name; empty for the row as a whole
    std::string why;    // UTF-8

    bool operator==(const RegisterCsvError&) const = default;
};
// "3 行目「電圧階級 (kV)」: 数字ではありません（abc）" (UTF-8).
std::string RegisterCsvErrorText(const RegisterCsvError& error);

// The entries of a file (names in CP932), or the errors of every bad row.
struct RegisterCsvRows {
    std::vector<CableRegisterEntry> entries;
    std::vector<RegisterCsvError> errors;
};
RegisterCsvRows ParseRegisterCsv(std::string_view bytes);

struct RegisterImport {
    std::vector<RegisterCsvError> errors; // not empty: nothing was written
    int rows = 0;      // entries in the file
    int changed = 0;   // of them, entries written (new or different)
    int orphans = 0;   // of them, naming a cable the tree does not hold (tree given)

    bool ok() const { return errors.empty(); }
};
// Parses the file and, when every row is good, writes the entries that differ from the
// register's in one transaction journaled as kind::RegisterImport (one item per entry
// written). tree, when given, counts the orphans.
RegisterImport ImportRegisterCsv(CableRegister& reg, std::string_view bytes,
                                 const CCustomerDB* tree, const Actor& actor, int64_t now);
// "12 件を取り込みました（変更 3 件、ケーブルが見つからない台帳 1 件）" (UTF-8).
std::string RegisterImportSummary(const RegisterImport& result);

} // namespace ws
