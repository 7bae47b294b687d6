// FleetPages: page grids of the fleet's printout.
#include "ui/analysis/fleetpages.h"

#include <QPagedPaintDevice>
#include <QPainter>

#include <algorithm>

#include "fleet/fleettable.h"

namespace {

using namespace report;
using fleet::Column;

constexpr int kHeaderRowLength = 50; // 0.1 mm
constexpr int kRowLength = 60;

// The printed columns and their relative widths.
constexpr std::pair<Column, double> kColumns[] = {
    {Column::Rank, 5},       {Column::Customer, 13}, {Column::Cable, 13},
    {Column::Importance, 5}, {Column::LastTest, 10}, {Column::PhaseJudgment, 13},
    {Column::Trend, 4},      {Column::Score, 6},     {Column::Interval, 7},
    {Column::NextDue, 10},   {Column::Status, 8},    {Column::Reason, 26},
};

} // namespace

FleetPages::FleetPages(std::vector<const fleet::CablePlan*> rows, QString scope,
                       const PrintOptions& options)
    : m_rows(std::move(rows)), m_scope(std::move(scope)), m_options(options)
{
}

int FleetPages::PageCount(std::size_t rows)
{
    return std::max<int>(1, static_cast<int>((rows + kRowsPerPage - 1) / kRowsPerPage));
}

LayoutGrid* FleetPages::buildPage(int p)
{
    const int total = totalPages();
    if (p < 1 || p > total)
        return nullptr;
    const std::size_t first = static_cast<std::size_t>(p - 1) * kRowsPerPage;
    const int count = static_cast<int>(std::min<std::size_t>(kRowsPerPage, m_rows.size() - first));

    m_page = MakeListingPage(QStringLiteral("設備一覧・試験計画"), m_scope, p, total, m_options,
                             kHeaderRowLength + kRowLength * std::max(count, 1));
    LayoutGrid& g = *m_page;

    constexpr int columns = static_cast<int>(std::size(kColumns));
    auto table = makeTable("fleet table", columns, 1 + std::max(count, 1));
    LayoutGrid& t = table->table();
    double sum = 0;
    for (const auto& c : kColumns)
        sum += c.second;
    for (int c = 0; c < columns; ++c) {
        t.setColumnPercent(c, 100.0 * kColumns[c].second / sum);
        t.setText(c, 0, QString::fromUtf8(fleet::ColumnTitle(kColumns[c].first)));
    }
    t.setRowLength(0, kHeaderRowLength);
    t.setBackground({0, 0, -1, 0}, kLabelBackground);
    t.setAlignment({0, 1, -1, -1}, CellAlign::CenterMultiLine);
    t.addFitGroup(0, 0, {0, 0, -1, 0}, QStringLiteral("2026/12/31 "));
    t.addFitGroup(0, 1, {0, 1, -1, -1}, QStringLiteral("2026/12/31  "));
    if (count == 0) {
        t.merge({0, 1, -1, 1});
        t.setText(0, 1, QStringLiteral("該当するケーブルはありません"));
    }
    for (int i = 0; i < count; ++i) {
        const fleet::CablePlan& plan = *m_rows[first + static_cast<std::size_t>(i)];
        for (int c = 0; c < columns; ++c)
            t.setText(c, 1 + i, QString::fromStdString(fleet::CellText(plan, kColumns[c].first)));
    }
    g.place(0, 3, std::move(table));
    return m_page.get();
}

bool FleetPages::print(QPagedPaintDevice& device, int fromPage, int toPage,
                       const std::function<bool(int, int)>& progress)
{
    return PrintGridPages(
        device, fromPage, toPage, totalPages(), m_options,
        [this](int page) { return buildPage(page); }, progress);
}
