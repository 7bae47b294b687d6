// ReportOverlay: geometry follows the report view; painting the marks in the graph's plot.
#include "ui/analysis/reportoverlay.h"

#include <QEvent>
#include <QPainter>
#include <QResizeEvent>

#include <algorithm>

#include "model/measrecord.h"
#include "report/graphblock.h"
#include "report/screenreport.h"
#include "ui/common/uitext.h"
#include "ui/pages/reportview.h"

namespace {

const QColor kTriggerFill{255, 140, 0, 60};
const QColor kTriggerEdge{230, 110, 0};
const QColor kSignColour{200, 0, 0};
const QColor kFitColour{110, 0, 200}; // the rise's fitted line, apart from the red curve

} // namespace

ReportOverlay::ReportOverlay(ReportView& view) : QWidget(&view), m_view(view)
{
    setObjectName(QStringLiteral("analysisOverlay"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setGeometry(view.rect());
    view.installEventFilter(this);
    hide();
}

void ReportOverlay::SetSigns(analysis::CurveSigns signs)
{
    m_signs = std::move(signs);
    update();
}

bool ReportOverlay::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_view && event->type() == QEvent::Resize) {
        setGeometry(QRect(QPoint(0, 0), static_cast<QResizeEvent*>(event)->size()));
        raise();
    }
    return false;
}

void ReportOverlay::paintEvent(QPaintEvent*)
{
    const CMeasRecord* r = m_view.DisplayedRecord();
    if (!r)
        return;
    const GraphBlock& g = m_view.Report().graph();
    const LayoutContext ctx{ReportMapping::forDevice(m_view), &m_view};
    const QRectF plot = g.plotRect(ctx);
    const double w = g.xMax() - g.xMin();
    const double h = g.yMax() - g.yMin();
    if (plot.width() <= 0 || plot.height() <= 0 || w <= 0 || h <= 0)
        return;
    auto xOf = [&](double seconds) {
        return plot.left() + (seconds / 60.0 - g.xMin()) / w * plot.width();
    };
    auto yOf = [&](double microAmps) {
        return plot.bottom() - (microAmps - g.yMin()) / h * plot.height();
    };

    QPainter p(this);
    p.setClipRect(plot);
    p.setRenderHint(QPainter::Antialiasing, true);
    QFont font(ui::gothicFace());
    font.setPixelSize(ctx.mapping.pixelSizeFor(30));
    p.setFont(font);
    const QFontMetricsF fm(font, this);

    // Trigger periods: a band from the first to the last point at or above the setting, at
    // least two pixels wide so a one-point event still shows.
    for (std::size_t i = 0; i < r->Triggers.size(); ++i) {
        const CTriggerEvent& e = r->Triggers[i];
        double x0 = xOf(e.start), x1 = xOf(e.stop);
        if (x1 - x0 < 2) {
            x0 -= 1;
            x1 = x0 + 2;
        }
        const QRectF band(x0, plot.top(), x1 - x0, plot.height());
        if (!band.intersects(plot))
            continue;
        p.fillRect(band, kTriggerFill);
        p.setPen(QPen(kTriggerEdge, 1));
        p.drawLine(band.topLeft(), band.bottomLeft());
        p.drawLine(band.topRight(), band.bottomRight());
        p.drawText(QPointF(x0 + 2, plot.top() + fm.ascent() + 2), QStringLiteral("T%1").arg(i + 1));
    }
    // The trigger setting as a dashed line.
    if (r->TriggerLevel > 0 && r->TriggerLevel <= g.yMax()) {
        p.setPen(QPen(kTriggerEdge, 1, Qt::DashLine));
        p.drawLine(QPointF(plot.left(), yOf(r->TriggerLevel)),
                   QPointF(plot.right(), yOf(r->TriggerLevel)));
    }

    double textTop = plot.top() + fm.height() + 4;
    for (const analysis::CurveSign& s : m_signs.signs) {
        p.setPen(QPen(kSignColour, 2));
        switch (s.kind) {
        case analysis::SignKind::TriggerKick: break; // shown by its trigger band
        case analysis::SignKind::Spike: {
            // A downward triangle just above the spike's highest point.
            const QPointF at(xOf((s.start + s.stop) / 2), std::max(plot.top() + 10, yOf(s.value)));
            const QPointF tri[] = {at + QPointF(-6, -14), at + QPointF(6, -14),
                                   at + QPointF(0, -3)};
            p.setBrush(kSignColour);
            p.drawPolygon(tri, 3);
            p.setBrush(Qt::NoBrush);
            break;
        }
        case analysis::SignKind::GradualRise: {
            const analysis::RiseFit& f = m_signs.rise;
            const double c = (f.windowStart + f.windowStop) / 2 / 60.0;
            auto fitAt = [&](double seconds) { return f.median + f.slope * (seconds / 60.0 - c); };
            p.setPen(QPen(kFitColour, 3, Qt::DashLine));
            p.drawLine(QPointF(xOf(f.windowStart), yOf(fitAt(f.windowStart))),
                       QPointF(xOf(f.windowStop), yOf(fitAt(f.windowStop))));
            const double y = std::max(plot.top() + fm.height(), yOf(fitAt(f.windowStop)) - 8);
            p.setPen(kFitColour);
            const QString label = ui::toQ(analysis::SignKindText(s.kind));
            const double x =
                std::min(xOf(f.windowStart), plot.right() - fm.horizontalAdvance(label) - 4);
            p.drawText(QPointF(x, y), label);
            break;
        }
        case analysis::SignKind::LowPolarization: {
            const QString label = ui::toQ(analysis::SignKindText(s.kind));
            p.drawText(QPointF(plot.right() - fm.horizontalAdvance(label) - 6, textTop), label);
            textTop += fm.height();
            break;
        }
        }
    }
}
