// JournalPages: page grids of the journal's printout and drawing them page by page.
#include "ui/dialogs/journalpages.h"

#include <QPagedPaintDevice>
#include <QPainter>

#include <algorithm>

#include "workspace/journaltable.h"

namespace {

using namespace report;

constexpr int kHeaderRowLength = 50; // 0.1 mm
constexpr int kRowLength = 60;       // room for two lines of a long change
// Relative widths of 日時, 利用者, 端末, 操作, the names and 内容.
constexpr double kColumnWeights[] = {13, 8, 9, 17, 22, 31};

} // namespace

JournalPages::JournalPages(const ws::JournalTable& table, QString scope,
                           const PrintOptions& options)
    : m_table(table), m_scope(std::move(scope)), m_options(options)
{
}

int JournalPages::PageCount(std::size_t rows)
{
    return std::max<int>(1, static_cast<int>((rows + kRowsPerPage - 1) / kRowsPerPage));
}

int JournalPages::totalPages() const
{
    return PageCount(m_table.RowCount());
}

LayoutGrid* JournalPages::buildPage(int p)
{
    const int total = totalPages();
    if (p < 1 || p > total)
        return nullptr;
    const std::size_t first = static_cast<std::size_t>(p - 1) * kRowsPerPage;
    const int count =
        static_cast<int>(std::min<std::size_t>(kRowsPerPage, m_table.RowCount() - first));

    m_page = MakeListingPage(QStringLiteral("変更履歴"), m_scope, p, total, m_options,
                             kHeaderRowLength + kRowLength * std::max(count, 1));
    LayoutGrid& g = *m_page;

    constexpr int columns = static_cast<int>(ws::JournalColumn::Count);
    auto table = makeTable("journal table", columns, 1 + std::max(count, 1));
    LayoutGrid& t = table->table();
    double sum = 0;
    for (double w : kColumnWeights)
        sum += w;
    for (int c = 0; c < columns; ++c) {
        t.setColumnPercent(c, 100.0 * kColumnWeights[c] / sum);
        t.setText(c, 0,
                  QString::fromUtf8(ws::JournalColumnTitle(static_cast<ws::JournalColumn>(c))));
    }
    t.setRowLength(0, kHeaderRowLength);
    t.setBackground({0, 0, -1, 0}, kLabelBackground);
    t.setAlignment({0, 1, -1, -1}, CellAlign::CenterMultiLine);
    t.addFitGroup(0, 0, {0, 0, -1, 0}, QStringLiteral("2026/12/31 23:59:59"));
    t.addFitGroup(0, 1, {0, 1, -1, -1}, QStringLiteral("2026/12/31 23:59:59  "));
    if (count == 0) {
        t.merge({0, 1, -1, 1});
        t.setText(0, 1, QStringLiteral("該当する変更はありません"));
    }
    for (int i = 0; i < count; ++i) {
        const std::size_t row = first + static_cast<std::size_t>(i);
        for (int c = 0; c < columns; ++c)
            t.setText(c, 1 + i,
                      QString::fromStdString(m_table.Text(row, static_cast<ws::JournalColumn>(c))));
    }
    g.place(0, 3, std::move(table));
    return m_page.get();
}

bool JournalPages::print(QPagedPaintDevice& device, int fromPage, int toPage,
                         const std::function<bool(int, int)>& progress)
{
    return PrintGridPages(device, fromPage, toPage, totalPages(), m_options,
                          [this](int page) { return buildPage(page); }, progress);
}
