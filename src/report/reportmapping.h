// ReportMapping: the one object that turns report coordinates (0.1 mm, y growing upwards) into
// device coordinates (screen pixels, printer dots, image pixels), plus the logical rectangle.
#pragma once

#include <QPointF>
#include <QRectF>

class QPaintDevice;

// A rectangle in report units: 0.1 mm, y upwards, so top > bottom.
struct LRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const { return right - left; }
    int height() const { return top - bottom; }
    bool operator==(const LRect&) const = default;
};

// Logical (0, 0) is device point `origin`; logical x grows with device x, logical y against
// device y. Scales are device units per 0.1 mm.
class ReportMapping {
public:
    ReportMapping() = default;
    ReportMapping(double devPerUnitX, double devPerUnitY, QPointF origin = {});
    // The mapping of a device by its logical resolution (dots per inch / 254).
    static ReportMapping forDevice(const QPaintDevice& device, QPointF origin = {});

    double scaleX() const { return m_sx; }
    double scaleY() const { return m_sy; }
    // One device pixel in logical units (at least 1 unit is never assumed).
    double pixelX() const { return 1.0 / m_sx; }
    double pixelY() const { return 1.0 / m_sy; }

    QPointF toDevice(double x, double y) const;
    QRectF toDevice(const LRect& r) const;
    // A device rectangle as report units (rounded to whole units).
    LRect toLogical(const QRectF& deviceRect) const;
    // A font height in report units as a device pixel size (at least 1).
    int pixelSizeFor(int logicalHeight) const;

private:
    double m_sx = 1.0;
    double m_sy = 1.0;
    QPointF m_origin;
};
