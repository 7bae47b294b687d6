// GraphBlock: the leakage-current graph (µA over minutes) in a report cell: window, series,
// axes with gridlines and labels, and the curve merged per device column.
#pragma once

#include <vector>

#include "report/layoutgrid.h"

class CMeasRecord;

struct GraphSeries {
    std::vector<report::GraphPoint> points;
    double yMin = 0.0;
    double yMax = 0.0;
};

class GraphBlock : public Block {
public:
    explicit GraphBlock(std::string name) : Block(std::move(name)) {}

    // Empties the series and sets the window [a, b] minutes and the range [0, c] µA.
    void clear(double a, double b, double c);
    // clear() plus one series of the record's used points for that window.
    void setRecord(const CMeasRecord& r, double a, double b, double c);

    double xMin() const { return m_xMin; }
    double xMax() const { return m_xMax; }
    double yMin() const { return m_yMin; }
    double yMax() const { return m_yMax; }
    const std::vector<GraphSeries>& series() const { return m_series; }

    // The plot area in device units for a mapping (the cell less the axis margins).
    QRectF plotRect(const LayoutContext& ctx) const;
    // The polyline of a series in device units, after merging points per device column.
    std::vector<QPointF> curve(const GraphSeries& s, const QRectF& plot) const;

    void draw(QPainter& p, const LayoutContext& ctx) const override;

private:
    double m_xMin = 0.0, m_xMax = 10.0;
    double m_yMin = 0.0, m_yMax = 1000.0;
    std::vector<GraphSeries> m_series;
};
