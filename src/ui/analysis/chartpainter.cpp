// Drawing of the analysis charts, one step per part: titles, bands, value axis, time or
// category axis, series, marks, frame and legend.
#include "ui/analysis/chartpainter.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <span>

#include "report/layoutgrid.h"

namespace analysisui {

namespace {

constexpr int kFontHeight = 28; // 2.8 mm
constexpr QColor kGrid{208, 208, 208};
constexpr QColor kAxis{104, 145, 212};

QFont chartFont(const ReportMapping& m, int height = kFontHeight)
{
    QFont f(report::gothicFace());
    f.setPixelSize(m.pixelSizeFor(height));
    return f;
}

double mapX(const Chart& c, const QRectF& plot, double x)
{
    const double w = c.xMax - c.xMin;
    return plot.left() + (w > 0 ? (x - c.xMin) / w : 0.5) * plot.width();
}

double mapY(const Chart& c, const QRectF& plot, double y)
{
    const double h = c.yMax - c.yMin;
    return plot.bottom() - (h > 0 ? (y - c.yMin) / h : 0.5) * plot.height();
}

QString defaultText(double v)
{
    if (std::abs(v) < 1e-12)
        return QStringLiteral("0");
    return QString::number(v, 'g', 6);
}

void drawMarker(QPainter& p, MarkerShape shape, const QPointF& at, double r)
{
    switch (shape) {
    case MarkerShape::Circle: p.drawEllipse(at, r, r); break;
    case MarkerShape::Square: p.drawRect(QRectF(at.x() - r, at.y() - r, 2 * r, 2 * r)); break;
    case MarkerShape::Triangle:
    case MarkerShape::InvertedTriangle: {
        const double s = shape == MarkerShape::Triangle ? 1.0 : -1.0;
        const QPointF tri[] = {at + QPointF(0, -1.2 * r * s), at + QPointF(-1.1 * r, 0.8 * r * s),
                               at + QPointF(1.1 * r, 0.8 * r * s)};
        p.drawPolygon(tri, 3);
        break;
    }
    case MarkerShape::Diamond: {
        const double d = 1.3 * r;
        const QPointF dia[] = {at + QPointF(0, -d), at + QPointF(d, 0), at + QPointF(0, d),
                               at + QPointF(-d, 0)};
        p.drawPolygon(dia, 4);
        break;
    }
    case MarkerShape::Cross: {
        const QPen keep = p.pen();
        QPen thick = keep;
        thick.setColor(p.brush().color());
        thick.setWidthF(std::max(keep.widthF(), r / 2.5));
        p.setPen(thick);
        p.drawLine(at + QPointF(-r, -r), at + QPointF(r, r));
        p.drawLine(at + QPointF(-r, r), at + QPointF(r, -r));
        p.setPen(keep);
        break;
    }
    }
}

QPen seriesPen(const ChartSeries& s, double width)
{
    QPen pen(s.colour, width);
    pen.setStyle(s.style == SeriesStyle::DashedLine ? Qt::DashLine : s.line);
    return pen;
}

bool hasData(const Chart& c)
{
    return std::any_of(c.series.begin(), c.series.end(),
                       [](const ChartSeries& s) { return !s.points.empty(); });
}

} // namespace

std::vector<double> niceTicks(double lo, double hi, int count)
{
    std::vector<double> ticks;
    if (!(hi > lo) || count < 1 || !std::isfinite(lo) || !std::isfinite(hi))
        return ticks;
    const double raw = (hi - lo) / count;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    double step = magnitude;
    for (double f : {1.0, 2.0, 5.0, 10.0}) {
        step = f * magnitude;
        if (step >= raw)
            break;
    }
    const double first = std::ceil(lo / step - 1e-9) * step;
    for (double v = first; v <= hi + step * 1e-9 && ticks.size() < 100; v += step)
        ticks.push_back(std::abs(v) < step * 1e-9 ? 0.0 : v);
    return ticks;
}

void fitRange(const std::vector<double>& values, bool zeroBased, double& lo, double& hi)
{
    lo = hi = 0.0;
    bool any = false;
    for (double v : values) {
        if (!std::isfinite(v))
            continue;
        lo = any ? std::min(lo, v) : v;
        hi = any ? std::max(hi, v) : v;
        any = true;
    }
    if (!any) {
        lo = 0.0;
        hi = 1.0;
        return;
    }
    if (zeroBased && lo >= 0)
        lo = 0.0;
    if (hi - lo < 1e-9) {
        const double pad = std::abs(hi) > 0 ? std::abs(hi) * 0.5 : 1.0;
        hi += pad;
        if (!(zeroBased && lo == 0.0))
            lo -= pad;
    }
    const std::vector<double> t = niceTicks(lo, hi + (hi - lo) * 0.08, 5);
    if (t.size() >= 2) {
        const double step = t[1] - t[0];
        hi = std::ceil(hi / step + 0.08) * step;
        lo = zeroBased && lo == 0.0 ? 0.0 : std::floor(lo / step) * step;
    }
}

// Width of the legend column (device units), 0 without named series.
double legendWidth(const Chart& c, const ReportMapping& m)
{
    const QFontMetricsF fm(chartFont(m));
    double w = 0;
    for (const ChartSeries& s : c.series)
        if (!s.name.isEmpty())
            w = std::max(w, fm.horizontalAdvance(s.name));
    return w > 0 ? w + 90 * m.scaleX() : 0.0;
}

std::vector<bool> visibleLabels(const std::vector<double>& centres,
                                const std::vector<double>& widths, double gap)
{
    const std::size_t n = centres.size();
    std::vector<bool> shown(n, false);
    auto clear = [&](std::size_t a, std::size_t b) {
        return std::abs(centres[b] - centres[a]) >= (widths[a] + widths[b]) / 2 + gap;
    };
    std::size_t last = n;
    for (std::size_t i = 0; i < n; ++i) {
        if (last == n || clear(last, i)) {
            shown[i] = true;
            last = i;
        }
    }
    // The newest label wins over the one drawn before it when the two collide.
    if (n > 1 && !shown[n - 1]) {
        std::size_t prev = n - 1;
        while (prev > 0 && !shown[prev - 1])
            --prev;
        if (prev > 0) {
            shown[prev - 1] = false;
            shown[n - 1] = true;
            // The label before the dropped one may still collide with the newest: drop back
            // until clear.
            for (std::size_t k = prev - 1; k-- > 0;) {
                if (!shown[k])
                    continue;
                if (clear(k, n - 1))
                    break;
                shown[k] = false;
            }
        }
    }
    return shown;
}

QRectF plotArea(const QRectF& rect, const Chart& c, const ReportMapping& m)
{
    // Room for the title above, the value labels at the left, the time labels and the axis
    // title below, and the legend at the right.
    const double left = 160 * m.scaleX(), right = 40 * m.scaleX() + legendWidth(c, m);
    const double top = 80 * m.scaleY(), bottom = 90 * m.scaleY();
    return rect.adjusted(left, top, -right, -bottom);
}

std::vector<std::vector<QPointF>> pointPositions(const QRectF& rect, const Chart& c,
                                                 const ReportMapping& m)
{
    const QRectF plot = plotArea(rect, c, m);
    std::vector<std::vector<QPointF>> out;
    for (const ChartSeries& s : c.series) {
        std::vector<QPointF> pts;
        for (const QPointF& v : s.points)
            pts.emplace_back(mapX(c, plot, v.x()), mapY(c, plot, v.y()));
        out.push_back(std::move(pts));
    }
    return out;
}

namespace {

// What every step of drawing one chart works with: the painter, the chart's rectangle and
// plot area, the text font and its metrics, and the device units per 0.1 mm.
struct ChartCanvas {
    QPainter& p;
    const QRectF& rect;
    const Chart& c;
    const QRectF plot;
    const QFont font;
    const QFontMetricsF fm;
    const double unit;

    ChartCanvas(QPainter& painter, const QRectF& r, const Chart& chart, const ReportMapping& m)
        : p(painter), rect(r), c(chart), plot(plotArea(r, chart, m)), font(chartFont(m)),
          fm(font, painter.device()), unit(m.scaleX())
    {
    }
    QPen gridPen() const { return QPen(kGrid, std::max(1.0, 1 * unit), Qt::DotLine); }
};

// The markers of a series' points at these device positions.
void drawPoints(QPainter& p, const ChartSeries& s, std::span<const QPointF> at, double unit)
{
    p.setPen(QPen(s.colour.darker(130), std::max(1.0, 2 * unit)));
    p.setBrush(s.colour);
    const double r = std::max(3.0, 9 * unit);
    for (const QPointF& pt : at)
        drawMarker(p, s.marker, pt, r);
    p.setBrush(Qt::NoBrush);
}

bool drawsLine(const ChartSeries& s)
{
    return s.style != SeriesStyle::Points;
}

bool drawsPoints(const ChartSeries& s)
{
    return s.style == SeriesStyle::LineAndPoints || s.style == SeriesStyle::Points;
}

// The title above the plot and the titles of both axes.
void drawTitles(ChartCanvas& cv, const ReportMapping& m)
{
    QPainter& p = cv.p;
    const QRectF& rect = cv.rect;
    const QRectF& plot = cv.plot;
    QFont bold = chartFont(m, 32);
    bold.setBold(true);
    p.setFont(bold);
    p.setPen(Qt::black);
    p.drawText(QRectF(rect.left(), rect.top(), rect.width(), plot.top() - rect.top()),
               Qt::AlignCenter, cv.c.title);
    p.setFont(cv.font);
    // The value axis title sits above the axis, clear of the top tick label.
    p.drawText(QRectF(rect.left() + 4 * cv.unit, rect.top(), plot.width() / 2,
                      plot.top() - rect.top() - cv.fm.height() * 0.6),
               Qt::AlignLeft | Qt::AlignBottom, cv.c.yLabel);
    p.drawText(QRectF(plot.left(), plot.bottom() + cv.fm.height() * 1.3, plot.width(),
                      rect.bottom() - plot.bottom() - cv.fm.height() * 1.3),
               Qt::AlignCenter, cv.c.xLabel);
}

// The plot's white ground and the criteria bands over it.
void drawBands(ChartCanvas& cv)
{
    QPainter& p = cv.p;
    const Chart& c = cv.c;
    const QRectF& plot = cv.plot;
    p.save();
    p.setClipRect(plot);
    p.fillRect(plot, Qt::white);
    for (const ChartBand& b : c.bands) {
        const double y0 = mapY(c, plot, std::max(b.from, c.yMin));
        const double y1 = mapY(c, plot, std::min(b.to, c.yMax));
        if (y0 <= y1)
            continue;
        const QRectF band(plot.left(), y1, plot.width(), y0 - y1);
        p.fillRect(band, b.colour);
        if (!b.label.isEmpty()) {
            p.setPen(b.colour.darker(250));
            p.drawText(band.adjusted(0, 0, -6 * cv.unit, 0), Qt::AlignRight | Qt::AlignTop,
                       b.label);
        }
    }
    p.restore();
}

// Value axis: nice ticks with gridlines and labels.
void drawValueAxis(ChartCanvas& cv)
{
    QPainter& p = cv.p;
    const QRectF& plot = cv.plot;
    const QPen grid = cv.gridPen();
    for (double v : niceTicks(cv.c.yMin, cv.c.yMax, 5)) {
        const double y = mapY(cv.c, plot, v);
        p.setPen(grid);
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        p.setPen(Qt::black);
        p.drawText(QRectF(cv.rect.left(), y - cv.fm.height(),
                          plot.left() - cv.rect.left() - 8 * cv.unit, 2 * cv.fm.height()),
                   Qt::AlignRight | Qt::AlignVCenter, defaultText(v));
    }
}

// The x values and texts of the time or category axis.
std::vector<std::pair<double, QString>> xAxisLabels(const Chart& c)
{
    std::vector<std::pair<double, QString>> labels;
    if (!c.categories.empty()) {
        for (std::size_t i = 0; i < c.categories.size(); ++i)
            labels.emplace_back(static_cast<double>(i), c.categories[i]);
        return labels;
    }
    const std::vector<double> ticks = c.xTicks.empty() ? niceTicks(c.xMin, c.xMax, 6) : c.xTicks;
    for (double v : ticks)
        labels.emplace_back(v, c.xText ? c.xText(v) : defaultText(v));
    return labels;
}

// Time or category axis: gridlines (time only) and the labels that keep clear of each other.
void drawXAxis(ChartCanvas& cv)
{
    QPainter& p = cv.p;
    const Chart& c = cv.c;
    const QRectF& plot = cv.plot;
    const std::vector<std::pair<double, QString>> xLabels = xAxisLabels(c);
    // Labels that would run into a neighbour are left out (dates are not evenly spaced, so
    // each label is measured against the last one drawn).
    double maxLabel = 1;
    std::vector<double> centres, widths;
    for (const auto& l : xLabels) {
        const double w = cv.fm.horizontalAdvance(l.second);
        maxLabel = std::max(maxLabel, w);
        centres.push_back(mapX(c, plot, l.first));
        widths.push_back(w);
    }
    const std::vector<bool> shown = visibleLabels(centres, widths, 10 * cv.unit);
    const QPen grid = cv.gridPen();
    for (std::size_t i = 0; i < xLabels.size(); ++i) {
        const double x = centres[i];
        if (x < plot.left() - 1 || x > plot.right() + 1)
            continue;
        if (c.categories.empty()) {
            p.setPen(grid);
            p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        }
        if (!shown[i])
            continue;
        p.setPen(Qt::black);
        p.drawText(QRectF(x - maxLabel, plot.bottom() + 6 * cv.unit, 2 * maxLabel, cv.fm.height()),
                   Qt::AlignHCenter | Qt::AlignTop, xLabels[i].second);
    }
}

// The series: bars, lines and point markers at the given device positions.
void drawSeries(ChartCanvas& cv, const std::vector<std::vector<QPointF>>& positions)
{
    QPainter& p = cv.p;
    const Chart& c = cv.c;
    const double unit = cv.unit;
    const QPen thin(Qt::black, std::max(1.0, 2 * unit));
    const double barSlot = c.categories.empty() ? 0.0 : cv.plot.width() / (c.xMax - c.xMin);
    for (std::size_t si = 0; si < c.series.size(); ++si) {
        const ChartSeries& s = c.series[si];
        const std::vector<QPointF>& pts = positions[si];
        if (s.style == SeriesStyle::Bars) {
            const double barW = std::max(2.0, barSlot * 0.5);
            for (const QPointF& pt : pts) {
                const QRectF bar(pt.x() - barW / 2, pt.y(), barW, mapY(c, cv.plot, 0) - pt.y());
                p.fillRect(bar.normalized(), s.colour);
                p.setPen(thin);
                p.drawRect(bar.normalized());
            }
            continue;
        }
        if (drawsLine(s) && pts.size() > 1) {
            p.setPen(seriesPen(s, std::max(1.5, 4 * unit)));
            p.drawPolyline(pts.data(), static_cast<int>(pts.size()));
        }
        if (drawsPoints(s))
            drawPoints(p, s, pts, unit);
    }
}

// The marked points (a step test's knee), each ringed with its text beside it.
void drawMarks(ChartCanvas& cv)
{
    QPainter& p = cv.p;
    const QRectF& plot = cv.plot;
    for (const ChartMarker& mk : cv.c.markers) {
        const QPointF at(mapX(cv.c, plot, mk.at.x()), mapY(cv.c, plot, mk.at.y()));
        const double r = std::max(5.0, 16 * cv.unit);
        p.setPen(QPen(mk.colour, std::max(1.5, 4 * cv.unit)));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(at, r, r);
        const double w = cv.fm.horizontalAdvance(mk.label) + 4 * cv.unit;
        // The text goes to the left of a mark in the right half, so it stays inside the plot.
        const double x = at.x() > plot.center().x() ? at.x() - r - w : at.x() + r;
        p.drawText(QRectF(x, at.y() - r - cv.fm.height(), w, cv.fm.height()), Qt::AlignCenter,
                   mk.label);
    }
}

// The empty text of a chart without data, and the plot's frame.
void drawFrame(ChartCanvas& cv)
{
    QPainter& p = cv.p;
    if (!hasData(cv.c)) {
        p.setPen(Qt::darkGray);
        p.drawText(cv.plot, Qt::AlignCenter, cv.c.emptyText);
    }
    p.setPen(QPen(kAxis, std::max(1.0, 2 * cv.unit)));
    p.drawRect(cv.plot);
}

// Legend in a column right of the plot: a swatch of each named series' line and marker.
void drawLegend(ChartCanvas& cv)
{
    QPainter& p = cv.p;
    const double unit = cv.unit;
    std::vector<const ChartSeries*> named;
    for (const ChartSeries& s : cv.c.series)
        if (!s.name.isEmpty())
            named.push_back(&s);
    const double lineH = cv.fm.height() * 1.2;
    const double swatch = 50 * unit;
    const double left = cv.plot.right() + 20 * unit;
    for (std::size_t i = 0; i < named.size(); ++i) {
        const ChartSeries& s = *named[i];
        const double y = cv.plot.top() + lineH * (i + 0.5);
        if (y > cv.rect.bottom())
            break;
        if (drawsLine(s)) {
            p.setPen(seriesPen(s, std::max(1.5, 4 * unit)));
            p.drawLine(QPointF(left, y), QPointF(left + swatch - 12 * unit, y));
        }
        if (drawsPoints(s)) {
            const QPointF centre(left + (swatch - 12 * unit) / 2, y);
            drawPoints(p, s, {&centre, 1}, unit);
        }
        p.setPen(Qt::black);
        p.drawText(QRectF(left + swatch, y - lineH / 2, cv.rect.right() - left - swatch, lineH),
                   Qt::AlignLeft | Qt::AlignVCenter, s.name);
    }
}

} // namespace

void drawChart(QPainter& p, const QRectF& rect, const Chart& c, const ReportMapping& m)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    ChartCanvas cv(p, rect, c, m);
    p.setFont(cv.font);
    drawTitles(cv, m);
    drawBands(cv);
    drawValueAxis(cv);
    drawXAxis(cv);

    // Series and marks, clipped to the plot with room for the markers at its edges.
    p.save();
    const double unit = cv.unit;
    p.setClipRect(cv.plot.adjusted(-4 * unit, -4 * unit, 4 * unit, 4 * unit));
    drawSeries(cv, pointPositions(rect, c, m));
    drawMarks(cv);
    p.restore();

    drawFrame(cv);
    drawLegend(cv);
    p.restore();
}

} // namespace analysisui
