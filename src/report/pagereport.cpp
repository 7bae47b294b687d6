// PageReport: page grids, their fill from the record, and drawing into a printable area.
#include "report/pagereport.h"

#include <QPagedPaintDevice>
#include <QPainter>

#include <algorithm>

#include "model/format.h"
#include "model/measrecord.h"
#include "report/graphblock.h"

using namespace report;

namespace {

constexpr int kMeasRowsPerColumn = 69;
constexpr int kMeasPairs = 8;
constexpr int kTriggerColumns = 9; // events per line of the printed trigger table

} // namespace

PageReport::PageReport(const ReportSettings& settings, const ReportContent& content, double w,
                       double axis, const PrintOptions& options)
    : m_settings(settings), m_content(content), m_width(w > 0 ? w : 1.0),
      m_axis(axis > 0 ? axis : 1000.0), m_options(options)
{
    if (m_content.record)
        m_counts = pageCounts(*m_content.record, m_width);
}

void PlacePageTitle(LayoutGrid& g, const QString& title, int page, int total,
                    const PrintOptions& options, const QString& note)
{
    auto block = makeTable("page title", 3, 1);
    LayoutGrid& t = block->table();
    // The side columns widen (both, so the title stays in the middle) only for a note.
    const int side = note.isEmpty() ? 200 : 600;
    t.setColumnLength(0, side);
    t.setColumnLength(2, side);
    if (!note.isEmpty())
        t.setText(0, 0, note);
    t.setBorders({}, Qt::white, AllSides);
    t.setText(1, 0, title);
    t.setAlignment({2, 0, 2, 0}, CellAlign::Right);
    if (options.pageNumbers)
        t.setText(2, 0, QStringLiteral("        %1/%2").arg(page).arg(total));
    g.place(0, 0, std::move(block));
}

std::unique_ptr<LayoutGrid> MakeListingPage(const QString& title, const QString& scope, int page,
                                            int total, const PrintOptions& options,
                                            int tableLength)
{
    auto g = std::make_unique<LayoutGrid>(1, 5);
    g->setBorders({0, 4, 0, 4}, Qt::white, AllSides);
    g->setRowLength(0, 80);
    g->setRowLength(1, 45);
    g->setRowLength(2, 20);
    g->setRowLength(3, tableLength);
    PlacePageTitle(*g, title, page, total, options);
    auto line = makeTable("listing scope", 1, 1);
    line->table().setBorders({}, Qt::white, AllSides);
    line->table().setText(0, 0, scope);
    g->place(0, 1, std::move(line));
    return g;
}

LRect MarginRect(const ReportMapping& mapping, const QRectF& area, const PrintOptions& options)
{
    LRect r = mapping.toLogical(area);
    r.left += options.marginLeft * 10;
    r.top -= options.marginTop * 10;
    r.right -= options.marginRight * 10;
    r.bottom += options.marginBottom * 10;
    return r;
}

bool PrintPages(QPagedPaintDevice& device, int fromPage, int toPage, int total,
                const std::function<void(QPainter&, const QRectF& area, int page)>& drawPage,
                const std::function<bool(int done, int count)>& progress)
{
    fromPage = std::max(1, fromPage);
    toPage = std::min(total, toPage);
    QPainter painter;
    if (fromPage > toPage || !painter.begin(&device))
        return false;
    // The printable area, in the device's own units (dots of the printer's resolution).
    const QRectF area(0, 0, device.width(), device.height());
    for (int page = fromPage; page <= toPage; ++page) {
        if (page > fromPage && !device.newPage())
            return false;
        drawPage(painter, area, page);
        if (progress && !progress(page - fromPage + 1, toPage - fromPage + 1)) {
            painter.end();
            return false;
        }
    }
    return painter.end();
}

bool PrintGridPages(QPagedPaintDevice& device, int fromPage, int toPage, int total,
                    const PrintOptions& options, const std::function<LayoutGrid*(int page)>& buildPage,
                    const std::function<bool(int done, int count)>& progress)
{
    return PrintPages(
        device, fromPage, toPage, total,
        [&](QPainter& painter, const QRectF& area, int page) {
            LayoutGrid* g = buildPage(page);
            const LayoutContext ctx{ReportMapping::forDevice(device), &device};
            g->layout(MarginRect(ctx.mapping, area, options), ctx);
            g->draw(painter, ctx);
        },
        progress);
}

LRect PageReport::pageRect(const ReportMapping& mapping, const QRectF& area) const
{
    return MarginRect(mapping, area, m_options);
}

LayoutGrid* PageReport::buildPage(int p)
{
    if (p < 1 || p > m_counts.total)
        return nullptr;
    const bool graphPage = p <= m_counts.graphPages;
    m_page = std::make_unique<LayoutGrid>(1, graphPage ? 10 : 6);
    LayoutGrid& g = *m_page;
    const int lengths[] = {80, 40, 10, 160, 10};
    for (int i = 0; i < 5; ++i)
        g.setRowLength(i, lengths[i]);

    PlacePageTitle(g, QStringLiteral("成績表"), p, m_counts.total, m_options, m_content.approval);

    buildTitle1(g, 0, 1, m_settings);
    buildTableMiddle(g, 0, 3, m_settings);
    fillCommon(g, m_content);
    if (graphPage)
        fillGraphPage(g, p);
    else
        fillTablePage(g, p);
    return m_page.get();
}

void PageReport::fillGraphPage(LayoutGrid& g, int p)
{
    for (int i = 5; i <= 7; ++i)
        g.setRowPercent(i, 26.6);
    g.setRowLength(8, 40);
    const double s = 3 * m_width * (p - 1);
    for (int i = 0; i < 3; ++i) {
        GraphBlock* graph = g.place(0, 5 + i, std::make_unique<GraphBlock>("meas graph"));
        const double a = s + i * m_width;
        const CMeasRecord* r = m_content.record;
        if (r && r->UsedPoints > 0)
            graph->setRecord(*r, a, a + m_width, m_axis);
        else
            graph->clear(a, a + m_width, m_axis);
    }
    if (p != 1)
        return;

    auto title = makeTable("trigg title", 1, 1);
    title->table().setText(0, 0, QStringLiteral("トリガーデータ"));
    title->table().setBackground({}, kLabelBackground);
    g.place(0, 8, std::move(title));

    auto trigger = makeTable("Trigger", 1 + kTriggerColumns, 6);
    LayoutGrid& t = trigger->table();
    const QString labels[] = {QStringLiteral("発生時(分:秒)"), QStringLiteral("停止時(分:秒)"),
                              QStringLiteral("最大値(μA)")};
    for (int row = 0; row < 6; ++row)
        t.setText(0, row, labels[row % 3]);
    t.setBackground({0, 0, 0, -1}, kLabelBackground);
    t.addFitGroup(0, 0, {0, 0, 0, -1}, labels[0]);
    t.setBorders({0, 2, -1, 2}, Qt::black, SideBottom);
    t.setAlignment({1, 0, -1, -1}, CellAlign::Right);
    t.addFitGroup(1, 0, {1, 0, -1, -1}, QString::fromLatin1(mxrfmt::kTemplateValue));
    if (const CMeasRecord* r = m_content.record) {
        const int events = std::min<int>(static_cast<int>(r->Triggers.size()), 2 * kTriggerColumns);
        for (int k = 0; k < events; ++k) {
            const CTriggerEvent& e = r->Triggers[k];
            const int col = 1 + k % kTriggerColumns;
            const int row = k < kTriggerColumns ? 0 : 3;
            t.setText(col, row, fromCp932(mxrfmt::TriggerStartText(e)));
            t.setText(col, row + 1, fromCp932(mxrfmt::TriggerStopText(e)));
            t.setText(col, row + 2, fromCp932(mxrfmt::TriggerMaxText(e, r->RangeFlag)));
        }
    }
    g.place(0, 9, std::move(trigger));
}

void PageReport::fillTablePage(LayoutGrid& g, int p)
{
    auto meas = std::make_unique<TableBlock>("MeasVal", 2 * kMeasPairs, 1 + kMeasRowsPerColumn);
    LayoutGrid& t = meas->table();
    t.applyFont(gothicFace());
    t.setRowLength(0, 50);
    for (int i = 0; i < kMeasPairs; ++i) {
        t.setText(2 * i, 0, QStringLiteral("時間\n(分:秒)"));
        t.setText(2 * i + 1, 0, QStringLiteral("データ\n(μA)"));
    }
    t.setAlignment({0, 0, -1, 0}, CellAlign::CenterMultiLine);
    t.setBackground({0, 0, -1, 0}, kLabelBackground);
    t.addFitGroup(0, 0, {0, 0, -1, 0}, QStringLiteral("データ\n(μA)"));
    t.setBorders({}, Qt::black, AllSides, true);
    t.setBorders({0, 0, -1, 0}, Qt::black, SideBottom);
    t.addFitGroup(0, 1, {0, 1, -1, -1}, QString::fromLatin1(mxrfmt::kTemplateLongTime));
    const QString valueTemplate =
        QStringLiteral("XX%1").arg(QString::fromLatin1(mxrfmt::kTemplateValue));
    for (int i = 0; i < kMeasPairs; ++i) {
        const int v = 2 * i + 1;
        t.setBorders({v, 0, v, -1}, Qt::black, SideRight);
        t.addFitGroup(v, 1, {v, 1, v, -1}, valueTemplate);
        t.setAlignment({v, 1, v, -1}, CellAlign::Right);
        t.setMargins({v, 1, v, -1}, 0, 0, 20, 0);
    }
    if (const CMeasRecord* r = m_content.record) {
        const int used = std::clamp<int>(r->UsedPoints, 0, static_cast<int>(r->Points.size()));
        const int first = (p - m_counts.graphPages - 1) * kPointsPerTablePage;
        const int last = std::min(used, first + kPointsPerTablePage);
        for (int i = first; i < last; ++i) {
            const int j = i - first;
            const int col = 2 * (j / kMeasRowsPerColumn);
            const int row = 1 + j % kMeasRowsPerColumn;
            t.setText(col, row, fromCp932(mxrfmt::PointTimeText(r->Points[i])));
            t.setText(col + 1, row, fromCp932(mxrfmt::PointValueText(r->Points[i], r->RangeFlag)));
        }
    }
    g.place(0, 5, std::move(meas));
}

void PageReport::drawPage(QPainter& painter, const QPaintDevice& device, const QRectF& area, int p)
{
    LayoutGrid* g = buildPage(p);
    if (!g)
        return;
    // One shaper for the pages of one device; a device of another resolution (or another
    // device at the same address) gets a new one, so no metrics outlive their device.
    report::TextShaper* shaper = m_sharedShaper;
    if (!shaper || !shaper->serves(&device)) {
        if (!m_shaper || !m_shaper->serves(&device))
            m_shaper = std::make_unique<report::TextShaper>(&device);
        shaper = m_shaper.get();
    }
    const LayoutContext ctx{ReportMapping::forDevice(device), &device, shaper};
    g->layout(pageRect(ctx.mapping, area), ctx);
    g->draw(painter, ctx);
}

bool PageReport::print(QPagedPaintDevice& device, int fromPage, int toPage)
{
    return print(device, fromPage, toPage, {});
}

bool PageReport::print(QPagedPaintDevice& device, int fromPage, int toPage,
                       const PageProgress& progress)
{
    m_shaper.reset(); // a new job measures afresh
    return PrintPages(
        device, fromPage, toPage, m_counts.total,
        [&](QPainter& painter, const QRectF& area, int page) {
            drawPage(painter, device, area, page);
        },
        progress);
}
