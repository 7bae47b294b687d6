// ReportMapping: report units to device units and back.
#include "report/reportmapping.h"

#include <QPaintDevice>

#include <algorithm>
#include <cmath>

ReportMapping::ReportMapping(double devPerUnitX, double devPerUnitY, QPointF origin)
    : m_sx(devPerUnitX > 0 ? devPerUnitX : 1.0), m_sy(devPerUnitY > 0 ? devPerUnitY : 1.0),
      m_origin(origin)
{
}

ReportMapping ReportMapping::forDevice(const QPaintDevice& device, QPointF origin)
{
    return ReportMapping(device.logicalDpiX() / 254.0, device.logicalDpiY() / 254.0, origin);
}

QPointF ReportMapping::toDevice(double x, double y) const
{
    return {m_origin.x() + x * m_sx, m_origin.y() - y * m_sy};
}

QRectF ReportMapping::toDevice(const LRect& r) const
{
    return QRectF(toDevice(r.left, r.top), toDevice(r.right, r.bottom));
}

LRect ReportMapping::toLogical(const QRectF& d) const
{
    auto lx = [&](double x) { return static_cast<int>(std::lround((x - m_origin.x()) / m_sx)); };
    auto ly = [&](double y) { return static_cast<int>(std::lround((m_origin.y() - y) / m_sy)); };
    return {lx(d.left()), ly(d.top()), lx(d.right()), ly(d.bottom())};
}

int ReportMapping::pixelSizeFor(int logicalHeight) const
{
    return std::max(1, static_cast<int>(std::lround(logicalHeight * m_sy)));
}
