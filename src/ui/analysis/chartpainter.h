// The charts of the analysis windows (history, phase balance, step test): one description of
// a chart, drawn by one function on the window's widgets and on printed and PDF pages alike.
#pragma once

#include <QColor>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <functional>
#include <vector>

#include "report/reportmapping.h"

class QPainter;

namespace analysisui {

enum class SeriesStyle { LineAndPoints, Points, Line, DashedLine, Bars };

// The shape of a series' points, so that series of one colour stay apart (in print too).
enum class MarkerShape { Circle, Square, Triangle, Diamond, InvertedTriangle, Cross };

struct ChartSeries {
    QString name; // legend text; empty: no legend entry
    QColor colour;
    SeriesStyle style = SeriesStyle::LineAndPoints;
    std::vector<QPointF> points; // x, y in the chart's units
    MarkerShape marker = MarkerShape::Circle;
    Qt::PenStyle line = Qt::SolidLine; // of LineAndPoints and Line (DashedLine is dashed)
};

// A horizontal band of the value axis (criteria: good, caution, bad).
struct ChartBand {
    double from = 0.0;
    double to = 0.0;
    QColor colour;
    QString label;
};

// A marked point with a short text beside it (the knee of a step test).
struct ChartMarker {
    QPointF at;
    QString label;
    QColor colour = Qt::red;
};

struct Chart {
    QString title;
    QString xLabel;
    QString yLabel;
    double xMin = 0.0, xMax = 1.0;
    double yMin = 0.0, yMax = 1.0;
    // Text of an x tick (default "%g"); x ticks at these values when given, else nice steps.
    std::function<QString(double)> xText;
    std::vector<double> xTicks;
    // Category labels for bar charts (x = 0, 1, … ); replace the x ticks when not empty.
    std::vector<QString> categories;
    std::vector<ChartBand> bands;
    std::vector<ChartSeries> series;
    std::vector<ChartMarker> markers;
    QString emptyText = QStringLiteral("データがありません");
};

// Step and tick values of a nice scale (1, 2, 5 × 10^n) over [lo, hi] with about `count` steps.
std::vector<double> niceTicks(double lo, double hi, int count);
// A range that holds every value of the series, bands left out, widened to nice ends; lo is
// kept at 0 when every value is positive and zeroBased is set.
void fitRange(const std::vector<double>& values, bool zeroBased, double& lo, double& hi);

// The plot area inside a chart's rectangle (device units) for a mapping (fonts in 0.1 mm).
// The legend, when a series is named, takes a column at the right.
QRectF plotArea(const QRectF& rect, const Chart& chart, const ReportMapping& mapping);
// Draws the chart into rect (device units); fonts and line widths follow the mapping, so the
// same chart keeps its proportions on screen, on paper and in a PDF.
void drawChart(QPainter& p, const QRectF& rect, const Chart& chart, const ReportMapping& mapping);
// Which of the x labels (device x positions, label widths) are drawn: from left to right,
// each label that keeps a gap to the last one drawn; the last label is preferred to the one
// before it, so the newest date always shows.
std::vector<bool> visibleLabels(const std::vector<double>& centres,
                                const std::vector<double>& widths, double gap);
// The device position of every point of every series, for hit tests on screen.
std::vector<std::vector<QPointF>> pointPositions(const QRectF& rect, const Chart& chart,
                                                 const ReportMapping& mapping);

} // namespace analysisui
