// FleetPages: the printed form of the 設備一覧・試験計画 window: the page title with the page
// number, a line naming the filter and the day planned for, and the rows as shown (filtered and
// sorted), continued on as many pages as they take.
#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <vector>

#include "fleet/fleetplan.h"
#include "report/pagereport.h"

class QPagedPaintDevice;

class FleetPages {
public:
    static constexpr int kRowsPerPage = 36;

    // rows outlive the pages; scope names what they are.
    FleetPages(std::vector<const fleet::CablePlan*> rows, QString scope,
               const PrintOptions& options);

    static int PageCount(std::size_t rows);
    int totalPages() const { return PageCount(m_rows.size()); }
    LayoutGrid* buildPage(int p);
    bool print(QPagedPaintDevice& device, int fromPage, int toPage,
               const std::function<bool(int, int)>& progress = {});

private:
    std::vector<const fleet::CablePlan*> m_rows;
    QString m_scope;
    PrintOptions m_options;
    std::unique_ptr<LayoutGrid> m_page;
};
