// Cell texts on a device: legible minimum, wrapping with elision, drawing the lines.
#include "report/celltext.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>

#include "report/reportmapping.h"

namespace report {

int legibleMinimumHeight(const ReportMapping& mapping)
{
    constexpr int kSixPoint = 21; // 6 / 72 inch in 0.1 mm
    constexpr int kMinPixels = 8;
    int h = kSixPoint;
    while (mapping.pixelSizeFor(h) < kMinPixels && h < 1000)
        ++h;
    return h;
}

namespace {

QStringList wrapWith(QTextOption::WrapMode mode, const QString& text, const QFont& font,
                     const QPaintDevice* device, double width, int maxLines, bool& complete)
{
    const QFontMetricsF fm(font, device);
    QStringList lines;
    complete = true;
    QTextLayout layout(text, font, device);
    QTextOption option;
    option.setWrapMode(mode);
    layout.setTextOption(option);
    layout.beginLayout();
    for (;;) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        if (static_cast<int>(lines.size()) + 1 >= maxLines) {
            const QString rest = text.mid(line.textStart()).trimmed();
            const QString shown = fm.elidedText(rest, Qt::ElideRight, width);
            complete = shown == rest;
            lines << shown;
            break;
        }
        lines << text.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    return lines;
}

} // namespace

QStringList wrapLines(const QString& text, const QFont& font, const QPaintDevice* device,
                      double width, int maxLines, bool* complete)
{
    // Between words where that is enough; between any characters where it is not.
    bool whole = false;
    QStringList lines = wrapWith(QTextOption::WrapAtWordBoundaryOrAnywhere, text, font, device,
                                 width, maxLines, whole);
    if (!whole && maxLines > 1)
        lines = wrapWith(QTextOption::WrapAnywhere, text, font, device, width, maxLines, whole);
    if (complete)
        *complete = whole;
    return lines;
}

void drawLines(QPainter& p, const QRectF& rect, const QStringList& lines, int hAlign)
{
    const double pitch = QFontMetricsF(p.font(), p.device()).height();
    double y = rect.top() + (rect.height() - pitch * lines.size()) / 2;
    for (const QString& line : lines) {
        p.drawText(QRectF(rect.left(), y, rect.width(), pitch),
                   hAlign | Qt::AlignVCenter | Qt::TextSingleLine, line);
        y += pitch;
    }
}

} // namespace report
