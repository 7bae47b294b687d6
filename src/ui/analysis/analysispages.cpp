// AnalysisPages: page grids of an analysis window's printout and drawing them page by page.
#include "ui/analysis/analysispages.h"

#include <QPagedPaintDevice>
#include <QPainter>

#include <algorithm>

namespace analysisui {

using namespace report;

void ChartBlock::draw(QPainter& p, const LayoutContext& ctx) const
{
    const QRectF r = ctx.mapping.toDevice(m_rect).normalized();
    // A small gap to the neighbouring cells.
    const double gx = 10 * ctx.mapping.scaleX(), gy = 10 * ctx.mapping.scaleY();
    drawChart(p, r.adjusted(gx, gy, -gx, -gy), m_chart, ctx.mapping);
}

AnalysisPages::AnalysisPages(const ReportSettings& settings, AnalysisDocument doc,
                             const PrintOptions& options)
    : m_settings(settings), m_doc(std::move(doc)), m_options(options)
{
}

int AnalysisPages::PageCount(std::size_t rows)
{
    const int rest = std::max(0, static_cast<int>(rows) - kRowsFirstPage);
    return 1 + (rest + kRowsPerPage - 1) / kRowsPerPage;
}

namespace {

constexpr int kHeaderRowLength = 60; // 0.1 mm: two lines of a narrow header
constexpr int kRowLength = 45;

int tableLength(int rows)
{
    return kHeaderRowLength + kRowLength * rows;
}

} // namespace

void AnalysisPages::placeTable(LayoutGrid& g, int row, int first, int count)
{
    const int columns = std::max<int>(1, static_cast<int>(m_doc.header.size()));
    auto table = makeTable("analysis table", columns, 1 + count);
    LayoutGrid& t = table->table();
    for (int c = 0; c < m_doc.header.size(); ++c)
        t.setText(c, 0, m_doc.header[c]);
    if (m_doc.columnWeights.size() == static_cast<std::size_t>(columns)) {
        double sum = 0;
        for (double w : m_doc.columnWeights)
            sum += w;
        for (int c = 0; c < columns && sum > 0; ++c)
            t.setColumnPercent(c, 100.0 * m_doc.columnWeights[static_cast<std::size_t>(c)] / sum);
    }
    t.setRowLength(0, kHeaderRowLength);
    t.setBackground({0, 0, -1, 0}, kLabelBackground);
    t.setBorders({0, 0, -1, 0}, Qt::black, SideBottom);
    t.addFitGroup(0, 0, {0, 0, -1, 0}, QStringLiteral("最終値(μA)  "));
    if (count > 0)
        t.addFitGroup(0, 1, {0, 1, -1, -1}, QStringLiteral("2024/12/31  "));
    for (int i = 0; i < count; ++i) {
        const QStringList& cells = m_doc.rows.at(first + i);
        for (int c = 0; c < std::min<int>(columns, cells.size()); ++c)
            t.setText(c, 1 + i, cells[c]);
    }
    g.place(0, row, std::move(table));
}

LayoutGrid* AnalysisPages::buildPage(int p)
{
    const int total = totalPages();
    if (p < 1 || p > total)
        return nullptr;
    const bool first = p == 1;
    const int tableRow = first ? 9 : 5;
    // The table keeps a fixed row height; the row after it takes what is left of the page.
    m_page = std::make_unique<LayoutGrid>(1, tableRow + 2);
    LayoutGrid& g = *m_page;
    g.setBorders({0, tableRow + 1, 0, tableRow + 1}, Qt::white, AllSides);
    const int lengths[] = {80, 40, 10};
    for (int i = 0; i < 3; ++i)
        g.setRowLength(i, lengths[i]);

    PlacePageTitle(g, m_doc.title, p, total, m_options);

    buildTitle1(g, 0, 1, m_settings);
    ReportContent names;
    names.customer = m_doc.customer;
    names.cable = m_doc.cable;
    names.measData = m_doc.measData;
    fillCommon(g, names);

    if (first) {
        // Charts: the first across the page, the others side by side below it.
        const bool small = m_doc.charts.size() > 1;
        g.setRowPercent(3, small ? 34 : 45);
        g.setRowPercent(4, small ? 20 : 0);
        if (!m_doc.charts.empty())
            g.place(0, 3, std::make_unique<ChartBlock>("chart 0", m_doc.charts.front()));
        if (small) {
            const int n = static_cast<int>(m_doc.charts.size()) - 1;
            auto below = std::make_unique<TableBlock>("charts below", n, 1);
            below->table().setBorders({}, Qt::white, AllSides);
            for (int i = 0; i < n; ++i)
                below->table().place(i, 0,
                                     std::make_unique<ChartBlock>("chart", m_doc.charts[1 + i]));
            g.place(0, 4, std::move(below));
        }
        g.setRowLength(5, 10);
        const int noteLines = std::max<int>(1, m_doc.notes.size());
        g.setRowLength(6, 40 * noteLines);
        auto notes = makeTable("notes", 1, noteLines);
        for (int i = 0; i < m_doc.notes.size(); ++i)
            notes->table().setText(0, i, m_doc.notes[i]);
        notes->table().setAlignment({}, CellAlign::Center);
        notes->table().setBorders({}, Qt::white, AllSides);
        notes->table().addFitGroup(0, 0, {}, QStringLiteral("判定"));
        g.place(0, 6, std::move(notes));
        g.setRowLength(7, 10);
        g.setRowLength(8, 0);
        const int count = std::min<int>(kRowsFirstPage, static_cast<int>(m_doc.rows.size()));
        g.setRowLength(tableRow, tableLength(count));
        placeTable(g, tableRow, 0, count);
    } else {
        g.setRowLength(3, 0);
        g.setRowLength(4, 0);
        const int start = kRowsFirstPage + (p - 2) * kRowsPerPage;
        const int count = std::min<int>(kRowsPerPage, static_cast<int>(m_doc.rows.size()) - start);
        g.setRowLength(tableRow, tableLength(count));
        placeTable(g, tableRow, start, count);
    }
    return m_page.get();
}

bool AnalysisPages::print(QPagedPaintDevice& device, int fromPage, int toPage,
                          const std::function<bool(int, int)>& progress)
{
    return PrintGridPages(device, fromPage, toPage, totalPages(), m_options,
                          [this](int page) { return buildPage(page); }, progress);
}

} // namespace analysisui
