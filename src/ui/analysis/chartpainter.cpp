// Drawing of the analysis charts: frame, bands, grid, ticks, series, markers and legend.
#include "ui/analysis/chartpainter.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

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

void drawChart(QPainter& p, const QRectF& rect, const Chart& c, const ReportMapping& m)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRectF plot = plotArea(rect, c, m);
    const QFont font = chartFont(m);
    const QFontMetricsF fm(font, p.device());
    p.setFont(font);
    const double unit = m.scaleX(); // device units per 0.1 mm
    const QPen thin(Qt::black, std::max(1.0, 2 * unit));

    // Title above the plot, axis titles.
    QFont bold = chartFont(m, 32);
    bold.setBold(true);
    p.setFont(bold);
    p.setPen(Qt::black);
    p.drawText(QRectF(rect.left(), rect.top(), rect.width(), plot.top() - rect.top()),
               Qt::AlignCenter, c.title);
    p.setFont(font);
    // The value axis title sits above the axis, clear of the top tick label.
    p.drawText(QRectF(rect.left() + 4 * unit, rect.top(), plot.width() / 2,
                      plot.top() - rect.top() - fm.height() * 0.6),
               Qt::AlignLeft | Qt::AlignBottom, c.yLabel);
    p.drawText(QRectF(plot.left(), plot.bottom() + fm.height() * 1.3, plot.width(),
                      rect.bottom() - plot.bottom() - fm.height() * 1.3),
               Qt::AlignCenter, c.xLabel);

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
            p.drawText(band.adjusted(0, 0, -6 * unit, 0), Qt::AlignRight | Qt::AlignTop, b.label);
        }
    }
    p.restore();

    // Value axis: nice ticks with gridlines and labels.
    const QPen grid(kGrid, std::max(1.0, 1 * unit), Qt::DotLine);
    for (double v : niceTicks(c.yMin, c.yMax, 5)) {
        const double y = mapY(c, plot, v);
        p.setPen(grid);
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        p.setPen(Qt::black);
        p.drawText(QRectF(rect.left(), y - fm.height(), plot.left() - rect.left() - 8 * unit,
                          2 * fm.height()),
                   Qt::AlignRight | Qt::AlignVCenter, defaultText(v));
    }
    // Time or category axis.
    std::vector<std::pair<double, QString>> xLabels;
    if (!c.categories.empty()) {
        for (std::size_t i = 0; i < c.categories.size(); ++i)
            xLabels.emplace_back(static_cast<double>(i), c.categories[i]);
    } else {
        const std::vector<double> ticks =
            c.xTicks.empty() ? niceTicks(c.xMin, c.xMax, 6) : c.xTicks;
        for (double v : ticks)
            xLabels.emplace_back(v, c.xText ? c.xText(v) : defaultText(v));
    }
    // Labels that would run into a neighbour are left out (dates are not evenly spaced, so
    // each label is measured against the last one drawn).
    double maxLabel = 1;
    std::vector<double> centres, widths;
    for (const auto& l : xLabels) {
        const double w = fm.horizontalAdvance(l.second);
        maxLabel = std::max(maxLabel, w);
        centres.push_back(mapX(c, plot, l.first));
        widths.push_back(w);
    }
    const std::vector<bool> shown = visibleLabels(centres, widths, 10 * unit);
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
        p.drawText(QRectF(x - maxLabel, plot.bottom() + 6 * unit, 2 * maxLabel, fm.height()),
                   Qt::AlignHCenter | Qt::AlignTop, xLabels[i].second);
    }

    // Series, clipped to the plot.
    p.save();
    p.setClipRect(plot.adjusted(-4 * unit, -4 * unit, 4 * unit, 4 * unit));
    const auto positions = pointPositions(rect, c, m);
    const double barSlot = c.categories.empty() ? 0.0 : plot.width() / (c.xMax - c.xMin);
    for (std::size_t si = 0; si < c.series.size(); ++si) {
        const ChartSeries& s = c.series[si];
        const std::vector<QPointF>& pts = positions[si];
        if (s.style == SeriesStyle::Bars) {
            const double barW = std::max(2.0, barSlot * 0.5);
            for (const QPointF& pt : pts) {
                const QRectF bar(pt.x() - barW / 2, pt.y(), barW, mapY(c, plot, 0) - pt.y());
                p.fillRect(bar.normalized(), s.colour);
                p.setPen(thin);
                p.drawRect(bar.normalized());
            }
            continue;
        }
        if (s.style != SeriesStyle::Points && pts.size() > 1) {
            p.setPen(seriesPen(s, std::max(1.5, 4 * unit)));
            p.drawPolyline(pts.data(), static_cast<int>(pts.size()));
        }
        if (s.style == SeriesStyle::LineAndPoints || s.style == SeriesStyle::Points) {
            p.setPen(QPen(s.colour.darker(130), std::max(1.0, 2 * unit)));
            p.setBrush(s.colour);
            const double r = std::max(3.0, 9 * unit);
            for (const QPointF& pt : pts)
                drawMarker(p, s.marker, pt, r);
            p.setBrush(Qt::NoBrush);
        }
    }
    for (const ChartMarker& mk : c.markers) {
        const QPointF at(mapX(c, plot, mk.at.x()), mapY(c, plot, mk.at.y()));
        const double r = std::max(5.0, 16 * unit);
        p.setPen(QPen(mk.colour, std::max(1.5, 4 * unit)));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(at, r, r);
        const double w = fm.horizontalAdvance(mk.label) + 4 * unit;
        // The text goes to the left of a mark in the right half, so it stays inside the plot.
        const double x = at.x() > plot.center().x() ? at.x() - r - w : at.x() + r;
        p.drawText(QRectF(x, at.y() - r - fm.height(), w, fm.height()), Qt::AlignCenter, mk.label);
    }
    p.restore();

    if (!hasData(c)) {
        p.setPen(Qt::darkGray);
        p.drawText(plot, Qt::AlignCenter, c.emptyText);
    }
    p.setPen(QPen(kAxis, std::max(1.0, 2 * unit)));
    p.drawRect(plot);

    // Legend in a column right of the plot.
    std::vector<const ChartSeries*> named;
    for (const ChartSeries& s : c.series)
        if (!s.name.isEmpty())
            named.push_back(&s);
    if (!named.empty()) {
        const double lineH = fm.height() * 1.2;
        const double swatch = 50 * unit;
        const double left = plot.right() + 20 * unit;
        for (std::size_t i = 0; i < named.size(); ++i) {
            const double y = plot.top() + lineH * (i + 0.5);
            if (y > rect.bottom())
                break;
            if (named[i]->style != SeriesStyle::Points) {
                p.setPen(seriesPen(*named[i], std::max(1.5, 4 * unit)));
                p.drawLine(QPointF(left, y), QPointF(left + swatch - 12 * unit, y));
            }
            if (named[i]->style == SeriesStyle::LineAndPoints ||
                named[i]->style == SeriesStyle::Points) {
                p.setPen(QPen(named[i]->colour.darker(130), std::max(1.0, 2 * unit)));
                p.setBrush(named[i]->colour);
                const double r = std::max(3.0, 9 * unit);
                drawMarker(p, named[i]->marker, QPointF(left + (swatch - 12 * unit) / 2, y), r);
                p.setBrush(Qt::NoBrush);
            }
            p.setPen(Qt::black);
            p.drawText(QRectF(left + swatch, y - lineH / 2, rect.right() - left - swatch, lineH),
                       Qt::AlignLeft | Qt::AlignVCenter, named[i]->name);
        }
    }
    p.restore();
}

} // namespace analysisui
