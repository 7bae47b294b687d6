// AnalysisPages: the printed form of an analysis window in the report's house style: a page
// title with the page number, the header row with the names, the charts, the judgment lines
// and the result table, continued on further pages when it is long.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "report/pagereport.h"
#include "report/reportblocks.h"
#include "ui/analysis/chartpainter.h"

class QPagedPaintDevice;

namespace analysisui {

// What an analysis window shows and prints.
struct AnalysisDocument {
    QString title;        // "経年変化", "相間比較", "電圧特性"
    std::string customer; // CP932 names for the header row
    std::string cable;
    std::string measData;
    std::vector<Chart> charts; // the first across the page, the others side by side below it
    QStringList notes;         // judgment lines under the charts
    QStringList header;        // table columns
    // Relative widths of the printed table's columns (empty: equal); a long text column (the
    // signs, the remarks) is given more room so that it wraps rather than being cut.
    std::vector<double> columnWeights;
    std::vector<QStringList> rows;
};

// A block that draws one chart into its cell.
class ChartBlock : public Block {
public:
    ChartBlock(std::string name, Chart chart) : Block(std::move(name)), m_chart(std::move(chart)) {}
    void draw(QPainter& p, const LayoutContext& ctx) const override;

private:
    Chart m_chart;
};

class AnalysisPages {
public:
    static constexpr int kRowsFirstPage = 14; // table rows under the charts
    static constexpr int kRowsPerPage = 45;   // table rows of each further page

    AnalysisPages(const ReportSettings& settings, AnalysisDocument doc,
                  const PrintOptions& options);

    // The pages a document of `rows` table rows takes.
    static int PageCount(std::size_t rows);
    int totalPages() const { return PageCount(m_doc.rows.size()); }
    // Builds the grid of page p (1-based); nullptr out of range.
    LayoutGrid* buildPage(int p);
    // As PageReport::print: pages from … to on the device's printable area less the margins.
    bool print(QPagedPaintDevice& device, int fromPage, int toPage,
               const std::function<bool(int, int)>& progress = {});

private:
    void placeTable(LayoutGrid& g, int row, int first, int count);

    ReportSettings m_settings;
    AnalysisDocument m_doc;
    PrintOptions m_options;
    std::unique_ptr<LayoutGrid> m_page;
};

} // namespace analysisui
