// JobReport: the cover, the summary pages, the footer and the page walk over the parts.
#include "report/jobreport.h"

#include <QPagedPaintDevice>
#include <QPainter>

#include <algorithm>

#include "model/cp932text.h"

using namespace report;

namespace {

constexpr int kTitleLength = 80;
constexpr int kHeaderRowLength = 60;
constexpr int kRowLength = 45;

QString judgmentText(const std::optional<Judgment>& j)
{
    return j ? fromCp932(JudgmentWord(*j)) : QString();
}

QStringList remarkLines(const QString& remarks, int most)
{
    QStringList lines = remarks.split(QLatin1Char('\n'));
    while (!lines.isEmpty() && lines.back().trimmed().isEmpty())
        lines.removeLast();
    // Lines past the room go on the last line, so nothing typed is dropped.
    while (lines.size() > most) {
        const QString last = lines.takeLast();
        lines.back() += QLatin1Char(' ') + last;
    }
    return lines;
}

// The grid's cells without lines: the pages' free space.
void clearBorders(LayoutGrid& g)
{
    g.setBorders({}, Qt::transparent, AllSides);
}

} // namespace

void ImageBlock::draw(QPainter& p, const LayoutContext& ctx) const
{
    if (m_image.isNull())
        return;
    const QRectF r = ctx.mapping.toDevice(m_rect).normalized();
    QSizeF size = QSizeF(m_image.size()).scaled(r.size(), Qt::KeepAspectRatio);
    const QRectF target(r.center().x() - size.width() / 2, r.center().y() - size.height() / 2,
                        size.width(), size.height());
    p.drawImage(target, m_image);
}

JobReport::JobReport(const ReportSettings& settings, JobReportInfo info,
                     analysis::JobSummary summary, bool judgments, const PrintOptions& options)
    : m_settings(settings), m_info(std::move(info)), m_summary(std::move(summary)),
      m_judgments(judgments), m_options(options)
{
    if (!m_info.logoPath.isEmpty())
        m_logo = QImage(m_info.logoPath);
}

JobReport::~JobReport() = default;

PrintOptions JobReport::PartOptions() const
{
    PrintOptions o = m_options;
    o.pageNumbers = false;
    o.marginBottom += kFooterLength / 10 + kFooterGapMm;
    return o;
}

void JobReport::AddRecord(const ReportContent& content, double width, double axis)
{
    ReportContent c = content;
    c.judgments = m_judgments;
    auto report = std::make_unique<PageReport>(m_settings, c, width, axis, PartOptions());
    PageReport* r = report.get();
    m_reports.push_back(std::move(report));
    AddPart({r->totalPages(),
             [this, r](QPainter& painter, const QPaintDevice& device, const QRectF& area, int page) {
                 // The job's shaper: fonts and fitted texts measured once for all records.
                 r->shareShaper(&shaperFor(device));
                 r->drawPage(painter, device, area, page);
             }});
}

void JobReport::AddPart(JobPart part)
{
    if (part.pages <= 0 || !part.draw)
        return;
    m_partPages += part.pages;
    m_parts.push_back(std::move(part));
}

int JobReport::SummaryPageCount(std::size_t rows)
{
    const int n = static_cast<int>(rows);
    if (n <= kSummaryRowsLastPage)
        return 1;
    // Full pages until what is left fits the last page beside the totals.
    const int beforeLast = (n - kSummaryRowsLastPage + kSummaryRowsPerPage - 1) / kSummaryRowsPerPage;
    return 1 + beforeLast;
}

TextShaper& JobReport::shaperFor(const QPaintDevice& device)
{
    if (!m_shaper || !m_shaper->serves(&device))
        m_shaper = std::make_unique<TextShaper>(&device);
    return *m_shaper;
}

LayoutGrid* JobReport::buildCover()
{
    m_page = std::make_unique<LayoutGrid>(1, 10);
    LayoutGrid& g = *m_page;
    clearBorders(g);
    const int lengths[] = {200, 220, 120, 140, 150, 560, -1, 320, 100, 0};
    for (int i = 0; i < 10; ++i)
        if (lengths[i] >= 0)
            g.setRowLength(i, lengths[i]);

    auto title = makeTable("job title", 3, 1);
    LayoutGrid& t = title->table();
    t.setColumnPercent(0, 20);
    t.setColumnPercent(2, 20);
    t.setBorders({}, Qt::transparent, AllSides);
    t.setBorders({1, 0, 1, 0}, Qt::black, SideBottom);
    t.setText(1, 0, QStringLiteral("試験成績書"));
    t.applyFont(gothicFace(), QFont::Bold);
    g.place(0, 1, std::move(title));

    auto customer = makeTable("job customer", 3, 1);
    LayoutGrid& c = customer->table();
    c.setColumnPercent(0, 10);
    c.setColumnPercent(2, 10);
    c.setBorders({}, Qt::transparent, AllSides);
    c.setBorders({1, 0, 1, 0}, Qt::black, SideBottom);
    c.setText(1, 0, m_info.customer + QStringLiteral("　御中"));
    g.place(0, 3, std::move(customer));

    const QString labels[] = {QStringLiteral("試験日"),   QStringLiteral("報告書番号"),
                              QStringLiteral("報告日"),   QStringLiteral("試験者"),
                              QStringLiteral("立会者"),   QStringLiteral("ページ数")};
    const QString values[] = {fromCp932(analysis::JobDateRangeText(m_summary)),
                              m_info.reportNumber,
                              m_info.reportDate,
                              m_info.tester,
                              m_info.witness,
                              QStringLiteral("%1 ページ").arg(totalPages())};
    auto facts = makeTable("job facts", 4, 6);
    LayoutGrid& f = facts->table();
    f.setColumnPercent(0, 15);
    f.setColumnPercent(1, 20);
    f.setColumnPercent(3, 15);
    f.setBorders({0, 0, 0, -1}, Qt::transparent, AllSides);
    f.setBorders({3, 0, 3, -1}, Qt::transparent, AllSides);
    for (int i = 0; i < 6; ++i) {
        f.setText(1, i, labels[i]);
        f.setText(2, i, values[i]);
    }
    f.setBackground({1, 0, 1, -1}, kLabelBackground);
    f.addFitGroup(1, 0, {1, 0, 2, -1}, QStringLiteral("報告書番号 "));
    g.place(0, 5, std::move(facts));

    // The company: the logo at the left of its name, address and telephone.
    auto company = makeTable("job company", 3, 3);
    LayoutGrid& k = company->table();
    k.setColumnPercent(0, 35);
    k.setColumnPercent(1, 20);
    k.setBorders({}, Qt::transparent, AllSides);
    k.merge({1, 0, 1, 2});
    if (!m_logo.isNull())
        k.place(1, 0, std::make_unique<ImageBlock>("job logo", m_logo));
    const QString lines[] = {m_info.companyName, m_info.companyAddress,
                             m_info.companyPhone.isEmpty()
                                 ? QString()
                                 : QStringLiteral("TEL %1").arg(m_info.companyPhone)};
    // One size for the three lines: the longest of them fits its cell, with a little room.
    // Widths counted in half-width characters: a full-width one takes two.
    auto halfWidths = [](const QString& text) {
        int n = 0;
        for (const QChar ch : text)
            n += ch.unicode() < 0x100 || (ch.unicode() >= 0xFF61 && ch.unicode() <= 0xFF9F) ? 1 : 2;
        return n;
    };
    QString longest = QStringLiteral("TEL 000-0000-0000");
    for (int i = 0; i < 3; ++i) {
        k.setText(2, i, lines[i]);
        if (halfWidths(lines[i]) > halfWidths(longest))
            longest = lines[i];
    }
    k.addFitGroup(2, 0, {2, 0, 2, 2}, longest + QStringLiteral("　"));
    g.place(0, 7, std::move(company));
    return m_page.get();
}

void JobReport::placeSummaryTable(LayoutGrid& g, int row, int first, int count)
{
    static const double weights[] = {4, 15, 9, 9, 6, 6, 8, 5, 6, 5, 6, 5, 10, 6};
    constexpr int columns = 14;
    auto table = makeTable("job summary", columns, 1 + count);
    LayoutGrid& t = table->table();
    const QString header[] = {
        QStringLiteral("No."),        QStringLiteral("ケーブル"),   QStringLiteral("測定データ"),
        QStringLiteral("試験日"),     QStringLiteral("相"),         QStringLiteral("試験電圧\n(kV)"),
        QStringLiteral("最終値\n(μA)"), QStringLiteral("判定"),     QStringLiteral("成極比"),
        QStringLiteral("判定"),       QStringLiteral("弱点比"),     QStringLiteral("判定"),
        QStringLiteral("兆候"),       QStringLiteral("総合\n判定")};
    for (int c = 0; c < columns; ++c) {
        t.setColumnPercent(c, weights[c]);
        t.setText(c, 0, header[c]);
    }
    t.setRowLength(0, kHeaderRowLength);
    t.setAlignment({0, 0, -1, 0}, CellAlign::CenterMultiLine);
    t.setBackground({0, 0, -1, 0}, kLabelBackground);
    t.addFitGroup(0, 0, {0, 0, -1, 0}, QStringLiteral("最終値\n(μA)"));
    if (count > 0) {
        t.addFitGroup(0, 1, {0, 1, -1, -1}, QStringLiteral("2026/12/31 "));
        t.setAlignment({5, 1, 6, -1}, CellAlign::Right);
        t.setAlignment({8, 1, 8, -1}, CellAlign::Right);
        t.setAlignment({10, 1, 10, -1}, CellAlign::Right);
    }
    for (int i = 0; i < count; ++i) {
        const int n = first + i;
        const analysis::JobSummaryRow& r = m_summary.rows.at(static_cast<std::size_t>(n));
        const int y = 1 + i;
        t.setText(0, y, QString::number(n + 1));
        t.setText(1, y, fromCp932(r.cable));
        t.setText(2, y, fromCp932(r.set));
        t.setText(3, y, fromCp932(r.date));
        t.setText(4, y, fromCp932(r.phase));
        t.setText(5, y, fromCp932(r.voltage));
        t.setText(6, y, fromCp932(r.finalValue));
        t.setText(8, y, fromCp932(r.seikyoku));
        t.setText(10, y, fromCp932(r.jyakuten));
        t.setText(12, y, fromCp932(r.signs));
        if (m_judgments) {
            t.setText(7, y, judgmentText(r.judgments[0]));
            t.setText(9, y, judgmentText(r.judgments[1]));
            t.setText(11, y, judgmentText(r.judgments[2]));
        }
        // The cable's overall judgment once per cable and page, over its rows there.
        const bool cableStarts = i == 0 || m_summary.rows.at(static_cast<std::size_t>(n - 1)).cableIndex != r.cableIndex;
        if (cableStarts) {
            int span = 1;
            while (i + span < count &&
                   m_summary.rows.at(static_cast<std::size_t>(n + span)).cableIndex == r.cableIndex)
                ++span;
            if (span > 1)
                t.merge({13, y, 13, y + span - 1});
            if (m_judgments)
                t.setText(13, y, judgmentText(m_summary.cables.at(r.cableIndex).overall));
        }
    }
    g.place(0, row, std::move(table));
}

void JobReport::placeTotals(LayoutGrid& g, int row)
{
    auto table = makeTable("job totals", 7, 2);
    LayoutGrid& t = table->table();
    t.setColumnPercent(0, 22);
    t.setText(0, 0, QStringLiteral("測定数"));
    t.setText(0, 1, QStringLiteral("ケーブル数 (総合判定)"));
    const Judgment kinds[] = {Judgment::Good, Judgment::Caution, Judgment::Bad};
    for (int k = 0; k < 3; ++k) {
        const auto j = static_cast<std::size_t>(kinds[k]);
        for (int y = 0; y < 2; ++y)
            t.setText(1 + 2 * k, y, fromCp932(JudgmentWord(kinds[k])));
        t.setText(2 + 2 * k, 0, QString::number(m_summary.recordTotals[j]));
        t.setText(2 + 2 * k, 1, QString::number(m_summary.cableTotals[j]));
    }
    t.setBackground({0, 0, 0, -1}, kLabelBackground);
    t.setBackground({1, 0, 1, -1}, kLabelBackground);
    t.setBackground({3, 0, 3, -1}, kLabelBackground);
    t.setBackground({5, 0, 5, -1}, kLabelBackground);
    t.addFitGroup(0, 0, {}, QStringLiteral("ケーブル数 (総合判定)"));
    g.place(0, row, std::move(table));
}

void JobReport::placeRemarks(LayoutGrid& g, int row)
{
    const QStringList lines = remarkLines(m_info.remarks, kRemarkLines);
    auto table = makeTable("job remarks", 1, 1 + kRemarkLines);
    LayoutGrid& t = table->table();
    t.setText(0, 0, QStringLiteral("所見"));
    t.setBackground({0, 0, 0, 0}, kLabelBackground);
    // One box round the lines, without lines between them.
    t.setBorders({0, 1, 0, -1}, Qt::transparent, AllSides);
    t.setBorders({}, Qt::black, AllSides, true);
    t.setBorders({0, 0, 0, 0}, Qt::black, SideBottom);
    for (int i = 0; i < lines.size(); ++i)
        t.setText(0, 1 + i, lines[i]);
    t.setAlignment({0, 1, 0, -1}, CellAlign::Left);
    t.addFitGroup(0, 0, {}, QStringLiteral("所見"));
    g.place(0, row, std::move(table));
}

LayoutGrid* JobReport::buildSummaryPage(int i)
{
    const int pages = summaryPages();
    if (i < 1 || i > pages)
        return nullptr;
    const int n = static_cast<int>(m_summary.rows.size());
    const int first = (i - 1) * kSummaryRowsPerPage;
    const int count = std::clamp(n - first, 0, kSummaryRowsPerPage);
    const bool last = i == pages;

    m_page = std::make_unique<LayoutGrid>(1, 9);
    LayoutGrid& g = *m_page;
    clearBorders(g);
    PlacePageTitle(g, QStringLiteral("試験結果一覧"), i, pages, PartOptions());
    g.setRowLength(0, kTitleLength);

    auto head = makeTable("job head", 4, 1);
    LayoutGrid& h = head->table();
    h.setColumnPercent(0, 12);
    h.setColumnPercent(2, 12);
    h.setText(0, 0, customerLabel(m_settings));
    h.setText(1, 0, m_info.customer);
    h.setText(2, 0, QStringLiteral("試験日"));
    h.setText(3, 0, fromCp932(analysis::JobDateRangeText(m_summary)));
    h.setBackground({0, 0, 0, 0}, kLabelBackground);
    h.setBackground({2, 0, 2, 0}, kLabelBackground);
    h.addFitGroup(0, 0, {0, 0, 0, 0}, customerTemplate(m_settings));
    h.addFitGroup(2, 0, {2, 0, 2, 0}, customerTemplate(m_settings));
    g.place(0, 1, std::move(head));
    g.setRowLength(1, 40);
    g.setRowLength(2, 10);

    g.setRowLength(3, kHeaderRowLength + kRowLength * count);
    placeSummaryTable(g, 3, first, count);
    if (last) {
        g.setRowLength(4, 30);
        if (m_judgments) {
            g.setRowLength(5, 2 * kRowLength);
            placeTotals(g, 5);
        } else {
            g.setRowLength(5, 0);
        }
        g.setRowLength(6, 30);
        g.setRowLength(7, kRowLength * (1 + kRemarkLines));
        placeRemarks(g, 7);
    } else {
        for (int r = 4; r <= 7; ++r)
            g.setRowLength(r, 0);
    }
    return m_page.get();
}

void JobReport::drawGrid(QPainter& painter, const QPaintDevice& device, const QRectF& area,
                         LayoutGrid& g)
{
    const LayoutContext ctx{ReportMapping::forDevice(device), &device, &shaperFor(device)};
    // The grid's clip ends at its rectangle: the tables' right sides keep a line's width
    // inside it, so that they are drawn whole.
    LRect r = MarginRect(ctx.mapping, area, PartOptions());
    r.right -= 3;
    g.layout(r, ctx);
    g.draw(painter, ctx);
}

void JobReport::drawFooter(QPainter& painter, const QPaintDevice& device, const QRectF& area,
                           int p)
{
    m_footer = std::make_unique<LayoutGrid>(1, 1);
    auto table = makeTable("job footer", 3, 1);
    LayoutGrid& t = table->table();
    t.setColumnPercent(0, 40);
    t.setColumnPercent(2, 20);
    t.setBorders({}, Qt::transparent, AllSides);
    t.setBorders({}, Qt::black, SideTop);
    if (!m_info.reportNumber.isEmpty())
        t.setText(0, 0, QStringLiteral("試験成績書 No. %1").arg(m_info.reportNumber));
    t.setText(1, 0, m_info.customer);
    t.setText(2, 0, QStringLiteral("%1 / %2").arg(p).arg(totalPages()));
    t.setAlignment({2, 0, 2, 0}, CellAlign::Right);
    t.addFitGroup(0, 0, {}, QStringLiteral("試験成績書 No. 0000"));
    m_footer->setBorders({}, Qt::transparent, AllSides);
    m_footer->place(0, 0, std::move(table));

    const LayoutContext ctx{ReportMapping::forDevice(device), &device, &shaperFor(device)};
    LRect r = MarginRect(ctx.mapping, area, m_options);
    r.top = r.bottom + kFooterLength;
    m_footer->layout(r, ctx);
    m_footer->draw(painter, ctx);
}

void JobReport::drawPage(QPainter& painter, const QPaintDevice& device, const QRectF& area, int p)
{
    if (p < 1 || p > totalPages())
        return;
    const int summary = summaryPages();
    if (p == 1) {
        drawGrid(painter, device, area, *buildCover());
    } else if (p <= 1 + summary) {
        drawGrid(painter, device, area, *buildSummaryPage(p - 1));
    } else {
        int local = p - 1 - summary;
        for (const JobPart& part : m_parts) {
            if (local <= part.pages) {
                part.draw(painter, device, area, local);
                break;
            }
            local -= part.pages;
        }
    }
    drawFooter(painter, device, area, p);
}

bool JobReport::print(QPagedPaintDevice& device, int fromPage, int toPage,
                      const std::function<bool(int, int)>& progress)
{
    m_shaper.reset(); // a new job measures afresh
    return PrintPages(
        device, fromPage, toPage, totalPages(),
        [&](QPainter& painter, const QRectF& area, int page) {
            drawPage(painter, device, area, page);
        },
        progress);
}
