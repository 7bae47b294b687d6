// ScreenReport: the screen arrangement of the report blocks and how the lists are filled.
#include "report/screenreport.h"

#include <QPainter>
#include <QPaintDevice>
#include <QtMath>

#include <algorithm>
#include <memory>
#include <vector>

#include "model/format.h"
#include "model/measrecord.h"

using namespace report;

ScreenReport::ScreenReport(const ReportSettings& settings)
{
    const int rowLengths[] = {70, 10, 200, 10};
    for (int i = 0; i < 4; ++i)
        m_grid.setRowLength(i, rowLengths[i]);
    buildTitle1(m_grid, 0, 0, settings);
    buildTableMiddle(m_grid, 0, 2, settings);

    auto lower = makeTable("table下", 2, 1);
    lower->table().setColumnLength(0, 500);
    LayoutGrid& low = m_grid.place(0, 4, std::move(lower))->table();

    // Measurement list: header row fixed, data scroll vertically.
    auto meas =
        std::make_unique<SheetBlock>("meas sheet", 2, kMeasRows, SheetBlock::Fixed::FirstRow);
    LayoutGrid& m = meas->table();
    m.applyFont(gothicFace());
    m.setBorders({}, Qt::black, AllSides);
    m.setRowLength(0, 70);
    for (int r = 1; r < kMeasRows; ++r)
        m.setRowLength(r, 55);
    m.setColumnPercent(0, 50);
    m.setAlignment({0, 0, -1, 0}, CellAlign::CenterMultiLine);
    m.setBackground({0, 0, -1, 0}, kLabelBackground);
    m.addFitGroup(1, 0, {0, 0, -1, 0}, QStringLiteral("測定時間\n(分:秒)"));
    m.addFitGroup(0, 1, {0, 1, -1, -1}, QString::fromLatin1(mxrfmt::kTemplateTime));
    m.setAlignment({1, 1, 1, -1}, CellAlign::Right);
    m.setMargins({1, 1, 1, -1}, 0, 0, 10, 0);
    m_meas = low.place(0, 0, std::move(meas));

    auto right = makeTable("table下右", 2, 3);
    LayoutGrid& rt = right->table();
    rt.setColumnLength(0, 10);
    rt.setRowLength(0, 40);
    rt.setRowLength(1, 210);
    low.place(1, 0, std::move(right));

    auto title = makeTable("trigg title", 1, 1);
    title->table().setText(0, 0, QStringLiteral("トリガーデータ"));
    title->table().setBackground({}, kLabelBackground);
    rt.place(1, 0, std::move(title));

    // Trigger list: label column fixed, events scroll horizontally.
    auto trigg = std::make_unique<SheetBlock>("trigg sheet", kTriggColumns, 3,
                                              SheetBlock::Fixed::FirstColumn);
    LayoutGrid& t = trigg->table();
    t.applyFont(gothicFace());
    t.setBorders({}, Qt::black, AllSides);
    for (int c = 0; c < kTriggColumns; ++c)
        t.setColumnLength(c, 200);
    t.setBackground({0, 0, 0, -1}, kLabelBackground);
    t.addFitGroup(0, 0, {0, 0, 0, -1}, QStringLiteral("発生(分:秒)"));
    t.setAlignment({1, 0, -1, -1}, CellAlign::Right);
    t.addFitGroup(1, 0, {1, 0, -1, 1}, QString::fromLatin1(mxrfmt::kTemplateLongTime));
    t.addFitGroup(1, 2, {1, 2, -1, 2}, QString::fromLatin1(mxrfmt::kTemplateValue));
    m_trigg = rt.place(1, 1, std::move(trigg));

    m_graph = rt.place(1, 2, std::make_unique<GraphBlock>("meas graph"));
    m_graph->clear(0.0, 10.0, 1000.0);
    fill(ReportContent{}, 0.0, 10.0, 1000.0);
}

void ScreenReport::fill(const ReportContent& content, double start, double width, double axis)
{
    ++m_version;
    fillCommon(m_grid, content);
    const CMeasRecord* r = content.record;
    const int used = r ? std::clamp<int>(r->UsedPoints, 0, static_cast<int>(r->Points.size())) : 0;

    // The list formats only the rows it shows, from its own copy of the points (the record
    // behind `content` may go away before the next fill while the list still scrolls).
    SheetBlock::Source points;
    if (used > 0) {
        auto copy = std::make_shared<const std::vector<CMeasPoint>>(r->Points.begin(),
                                                                    r->Points.begin() + used);
        points = [copy, range = r->RangeFlag](int row, int column) {
            if (row < 1 || static_cast<std::size_t>(row) > copy->size())
                return QString(); // the header row is set apart
            const CMeasPoint& pt = (*copy)[static_cast<std::size_t>(row - 1)];
            return fromCp932(column == 0 ? mxrfmt::PointTimeText(pt)
                                         : mxrfmt::PointValueText(pt, range));
        };
    }
    m_meas->setDataSize(1 + used, 2, std::move(points));
    m_meas->setData(0, 0, QStringLiteral("測定時間\n(分:秒)"));
    m_meas->setData(0, 1, QStringLiteral("測定データ\n(μA)"));

    const int events = r ? static_cast<int>(r->Triggers.size()) : 0;
    m_trigg->setDataSize(3, 1 + events);
    m_trigg->setData(0, 0, QStringLiteral("発生(分:秒)"));
    m_trigg->setData(1, 0, QStringLiteral("停止(分:秒)"));
    m_trigg->setData(2, 0, QStringLiteral("最大値(μA)"));
    for (int k = 0; k < events; ++k) {
        const CTriggerEvent& e = r->Triggers[k];
        m_trigg->setData(0, k + 1, fromCp932(mxrfmt::TriggerStartText(e)));
        m_trigg->setData(1, k + 1, fromCp932(mxrfmt::TriggerStopText(e)));
        m_trigg->setData(2, k + 1, fromCp932(mxrfmt::TriggerMaxText(e, r->RangeFlag)));
    }

    m_meas->sync();
    m_trigg->sync();
    if (!r || used == 0)
        m_graph->clear(start, start + width, axis);
    else
        m_graph->setRecord(*r, start, start + width, axis);
}

LayoutContext ScreenReport::shaped(const LayoutContext& ctx)
{
    // Fonts and glyphs belong to the device they were measured on.
    if (!m_shaper || !m_shaper->serves(ctx.device))
        m_shaper = std::make_unique<report::TextShaper>(ctx.device);
    LayoutContext out = ctx;
    out.shaper = m_shaper.get();
    return out;
}

void ScreenReport::layout(const LRect& rect, const LayoutContext& ctx)
{
    ++m_version;
    m_grid.layout(rect, shaped(ctx));
}

void ScreenReport::draw(QPainter& p, const LayoutContext& ctx)
{
    m_grid.draw(p, shaped(ctx));
}

void ScreenReport::paint(QPainter& p, const LayoutContext& ctx, QSize size, qreal dpr,
                         const QRect& exposed)
{
    if (size.isEmpty())
        return;
    dpr = dpr > 0 ? dpr : 1.0;
    const PictureKey key{m_version, m_meas->scrollPos(),  m_trigg->scrollPos(), size,
                         dpr,       ctx.mapping.scaleX(), ctx.mapping.scaleY()};
    if (m_picture.isNull() || !(key == m_pictureKey)) {
        const QSize pixels(qCeil(size.width() * dpr), qCeil(size.height() * dpr));
        if (m_picture.size() != pixels)
            m_picture = QImage(pixels, QImage::Format_RGB32); // opaque: copied, not blended
        m_picture.setDevicePixelRatio(dpr);
        m_picture.fill(Qt::white);
        QPainter picture(&m_picture);
        draw(picture, ctx);
        m_pictureKey = key;
        ++m_pictureDraws;
    }
    const QRect area = exposed.intersected(QRect(QPoint(0, 0), size));
    if (dpr == 1.0)
        p.drawImage(area.topLeft(), m_picture, area);
    else
        p.drawImage(
            QRectF(area), m_picture,
            QRectF(area.x() * dpr, area.y() * dpr, area.width() * dpr, area.height() * dpr));
}
