// JournalPages: the printed form of the 変更履歴 window's table: the page title with the page
// number, a line naming what the table shows, and the rows as filtered, continued on as many
// pages as they take. Cells too long for their column shrink and wrap, then end in "…"; the
// CSV keeps every value whole.
#pragma once

#include <QString>

#include <functional>
#include <memory>

#include "report/pagereport.h"

class QPagedPaintDevice;

namespace ws {
class JournalTable;
}

class JournalPages {
public:
    static constexpr int kRowsPerPage = 40;

    // table outlives the pages; scope names what the rows are ("すべての変更", a customer ...).
    JournalPages(const ws::JournalTable& table, QString scope, const PrintOptions& options);

    // The pages `rows` rows take (one page for none, saying so).
    static int PageCount(std::size_t rows);
    int totalPages() const;
    // Builds the grid of page p (1-based); nullptr out of range.
    LayoutGrid* buildPage(int p);
    bool print(QPagedPaintDevice& device, int fromPage, int toPage,
               const std::function<bool(int, int)>& progress = {});

private:
    const ws::JournalTable& m_table;
    QString m_scope;
    PrintOptions m_options;
    std::unique_ptr<LayoutGrid> m_page;
};
