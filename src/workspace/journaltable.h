// JournalTable: the change journal as the 変更履歴 window, its CSV and its printout show it: one
// row per item an entry touched (an entry without items is one row of its own), newest entry
// first, with the texts of each column made only when asked, and a filter over the rows.
// Plain C++: the window's model, the benchmark and the tests share it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "workspace/journalentry.h"

namespace ws {

// The columns of the table, in their order on screen and on paper.
enum class JournalColumn : int { Time, User, Workstation, Operation, Target, Content, Count };

// The column titles (UTF-8).
const char* JournalColumnTitle(JournalColumn column);

// The local time of an entry, "2026/12/11 09:07:27".
std::string JournalTimeText(int64_t time);
// The operation as the user reads it: the entry's step name, else the name of its kind; a
// reason (a withdrawal's, a restore's backup) follows in brackets.
std::string JournalOperationText(const JournalEntry& entry);
// The names down to the item's level, "需要家A / CV-1 / 2024年点検", and for a record the
// first eight digits of its content key ("記録 1a2b3c4d").
std::string JournalTargetText(const JournalItem& item);
// What happened to the item: "追加", "削除 (測定 3 件)", "名前の変更: A → B", or the values
// that differ, "試験電圧: 1.50 → 2.00、最終値: 12.3 → 12.5" (lineBreaks: one per line).
std::string JournalContentText(const JournalItem& item, bool lineBreaks = false);

// Which rows the table shows. Every condition given must hold.
struct JournalRowFilter {
    // A part of any column's text (UTF-8); ASCII letters match either case. Empty: any.
    std::string text;
    int64_t since = 0; // entry time >= since (0: any)
    int64_t until = 0; // entry time < until (0: any)
    // Only items of this level (entries without items never match). -1: any.
    int level = -1;

    bool operator==(const JournalRowFilter&) const = default;
};

class JournalTable {
public:
    // Takes the entries oldest first, as Workspace::Query gives them.
    void SetEntries(std::vector<JournalEntry> entries);
    const std::vector<JournalEntry>& Entries() const { return m_entries; }

    void SetFilter(const JournalRowFilter& filter);
    const JournalRowFilter& Filter() const { return m_filter; }

    // Rows that pass the filter, and all rows.
    std::size_t RowCount() const { return m_visible.size(); }
    std::size_t TotalRowCount() const { return m_rows.size(); }

    // The row's entry and item (nullptr for an entry without items).
    const JournalEntry& EntryAt(std::size_t row) const;
    const JournalItem* ItemAt(std::size_t row) const;
    // The text of a cell (UTF-8).
    std::string Text(std::size_t row, JournalColumn column) const;
    // Every field of the row on lines of their own, for the detail pane.
    std::string DetailText(std::size_t row) const;

    // The rows shown, as CSV: UTF-8 with a byte order mark, CR LF line ends, fields joined by
    // commas and quoted where they hold a comma, a quote or a line break. The names stand in
    // columns of their own, with the record's whole content key.
    std::string Csv() const;

private:
    struct RowRef {
        uint32_t entry;
        uint32_t item; // kNoItem: the entry has none
    };
    static constexpr uint32_t kNoItem = UINT32_MAX;
    bool Matches(const RowRef& row) const;

    std::vector<JournalEntry> m_entries;
    std::vector<RowRef> m_rows;    // newest entry first
    std::vector<RowRef> m_visible; // the rows passing m_filter
    JournalRowFilter m_filter;
};

} // namespace ws
