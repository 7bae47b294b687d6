// GraphBlock: series from a record and the drawing of axes, labels, frame and curve.
#include "report/graphblock.h"

#include <QPainter>

#include <cmath>

#include "model/measrecord.h"

namespace {

const QColor kMajorLine(104, 145, 212);
const QColor kMinorLine(208, 208, 208);
constexpr double kPointSize = 10.0; // axis and unit labels

// A length in points as report units (1 pt = 0.3528 mm).
int pointsToUnits(double pt)
{
    return static_cast<int>(std::lround(pt * 254.0 / 72.0));
}

QFont labelFont(const QString& face, const LayoutContext& ctx)
{
    CellStyle s;
    s.face = face;
    return LayoutGrid::deviceFont(s, pointsToUnits(kPointSize), ctx);
}

void gridPen(QPainter& p, const QColor& c, Qt::PenStyle style, double width)
{
    QPen pen(c, width, style);
    pen.setCapStyle(Qt::FlatCap);
    p.setPen(pen);
}

} // namespace

void GraphBlock::clear(double a, double b, double c)
{
    m_series.clear();
    m_xMin = a;
    m_xMax = b;
    m_yMin = 0.0;
    m_yMax = c;
}

void GraphBlock::setRecord(const CMeasRecord& r, double a, double b, double c)
{
    clear(a, b, c);
    GraphSeries s;
    s.points = report::buildSeries(r, a, b);
    s.yMin = 0.0;
    s.yMax = c;
    m_series.push_back(std::move(s));
}

QRectF GraphBlock::plotRect(const LayoutContext& ctx) const
{
    QRectF d = ctx.mapping.toDevice(m_rect).normalized();
    d.setRight(d.right() - 1);
    d.setBottom(d.bottom() - 1);
    const double sx = ctx.mapping.scaleX();
    const double sy = ctx.mapping.scaleY();
    return d.adjusted(120 * sx, 70 * sy, -70 * sx, -80 * sy);
}

std::vector<QPointF> GraphBlock::curve(const GraphSeries& s, const QRectF& plot) const
{
    std::vector<QPointF> out;
    const double xSpan = m_xMax - m_xMin;
    const double ySpan = s.yMax - s.yMin;
    if (xSpan <= 0 || ySpan <= 0 || plot.width() <= 0)
        return out;
    std::vector<report::Vertex> vertices;
    vertices.reserve(std::min<std::size_t>(s.points.size(), 8192));
    const double right = plot.right() + 1;
    for (const report::GraphPoint& pt : s.points) {
        const double x = plot.left() + pt.x / xSpan * plot.width();
        const double y = plot.bottom() - (pt.value - s.yMin) / ySpan * plot.height();
        vertices.push_back({static_cast<int>(std::lround(x)), y});
        // One point beyond the right edge carries the line to the clip; the rest is unseen.
        if (x > right)
            break;
    }
    for (const report::Vertex& v : report::mergeVertices(vertices))
        out.emplace_back(v.x, v.y);
    return out;
}

void GraphBlock::draw(QPainter& p, const LayoutContext& ctx) const
{
    const QRectF plot = plotRect(ctx);
    if (plot.width() <= 0 || plot.height() <= 0)
        return;
    const QRectF cell = ctx.mapping.toDevice(m_rect).normalized();
    const double sx = ctx.mapping.scaleX();
    const double sy = ctx.mapping.scaleY();
    const double unit = std::max(1.0, std::floor(sx));
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);

    // Time axis gridlines and labels.
    const report::TimeDivisions d = report::timeDivisions(m_xMax - m_xMin);
    for (int k = 1; k < d.n; ++k) {
        const double x = std::floor(plot.left() + k * plot.width() / d.n);
        switch (report::timeGridLine(d, k)) {
        case report::GridLine::Solid: gridPen(p, kMajorLine, Qt::SolidLine, unit); break;
        case report::GridLine::Dashed: gridPen(p, kMinorLine, Qt::DashLine, unit); break;
        case report::GridLine::Dotted: gridPen(p, kMinorLine, Qt::DotLine, unit); break;
        }
        p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    }
    p.setFont(labelFont(report::gothicFace(), ctx));
    p.setPen(Qt::black);
    for (const report::AxisLabel& l : report::timeLabels(m_xMin, m_xMax)) {
        const double x = plot.left() + l.division * plot.width() / std::max(d.n, 1);
        const QPointF topLeft(x - 20 * sx, plot.bottom() + 20 * sy);
        p.drawText(QRectF(topLeft, QSizeF(cell.right() - topLeft.x() + 200 * sx, 60 * sy)),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, QString::fromStdString(l.text));
    }

    // Current axis: ten divisions, the middle one solid.
    for (int k = 1; k < 10; ++k) {
        const double y = std::floor(plot.bottom() - k * plot.height() / 10);
        if (k == 5)
            gridPen(p, kMajorLine, Qt::SolidLine, unit);
        else
            gridPen(p, kMinorLine, Qt::DotLine, unit);
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    }
    p.setPen(Qt::black);
    for (const report::AxisLabel& l : report::currentLabels(m_yMin, m_yMax)) {
        const double y = plot.bottom() - l.division * plot.height() / 10;
        const QRectF band(QPointF(cell.left(), y - 20 * sy),
                          QPointF(plot.left() - 6 * sx, y + 20 * sy));
        p.drawText(band, Qt::AlignRight | Qt::AlignVCenter | Qt::TextDontClip,
                   QString::fromStdString(l.text));
    }

    // Unit labels.
    p.setFont(labelFont(report::pGothicFace(), ctx));
    p.drawText(QRectF(cell.topLeft(), QPointF(plot.left() + 60 * sx, plot.top() - 10 * sy)),
               Qt::AlignRight | Qt::AlignBottom | Qt::TextDontClip, QStringLiteral("μA"));
    p.drawText(QRectF(QPointF(plot.right() + 10 * sx, plot.bottom() - 30 * sy), cell.bottomRight()),
               Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, QStringLiteral("分"));

    // Frame.
    gridPen(p, Qt::black, Qt::SolidLine, unit);
    p.setBrush(Qt::NoBrush);
    p.drawRect(plot);

    // Curve, clipped to the plot.
    p.setClipRect(plot.adjusted(0, 0, 1, 1), Qt::IntersectClip);
    p.setRenderHint(QPainter::Antialiasing, true);
    QPen red(QColor(255, 0, 0), std::max(1.0, 5 * sx));
    red.setJoinStyle(Qt::RoundJoin);
    red.setCapStyle(Qt::RoundCap);
    p.setPen(red);
    for (const GraphSeries& s : m_series) {
        const std::vector<QPointF> line = curve(s, plot);
        if (line.size() == 1)
            p.drawPoint(line.front());
        // Short overlapping pieces: the raster engine strokes a long wide path much more
        // slowly than the same line in pieces, and the joins look the same.
        constexpr std::size_t kPiece = 16;
        for (std::size_t i = 0; i + 1 < line.size(); i += kPiece) {
            const std::size_t n = std::min(kPiece + 1, line.size() - i);
            p.drawPolyline(line.data() + i, static_cast<int>(n));
        }
    }
    p.restore();
}
