// Cell texts on a device: legible minimum, wrapping with elision, drawing the lines.
#include "report/celltext.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>

#include "report/reportmapping.h"

namespace report {

int legibleMinimumHeight(const ReportMapping& mapping, int floor)
{
    constexpr int kMinPixels = 8;
    int h = std::max(floor, 1);
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

// The text packed into lines that break only after "｜" separators; empty when a part is
// wider than a line or more than maxLines lines are needed.
QStringList wrapAtSeparators(const QString& text, const QFont& font, const QPaintDevice* device,
                             double width, int maxLines)
{
    const QChar separator(0xFF5C); // ｜
    const QFontMetricsF fm(font, device);
    QStringList lines;
    QString line;
    qsizetype start = 0;
    while (start < text.size()) {
        const qsizetype at = text.indexOf(separator, start);
        const qsizetype end = at < 0 ? text.size() : at + 1;
        const QString part = text.mid(start, end - start);
        start = end;
        if (!line.isEmpty() && fm.horizontalAdvance((line + part).trimmed()) <= width) {
            line += part;
            continue;
        }
        if (!line.isEmpty())
            lines << line.trimmed();
        line = part;
        if (fm.horizontalAdvance(line.trimmed()) > width || lines.size() >= maxLines)
            return {};
    }
    if (!line.isEmpty())
        lines << line.trimmed();
    return lines.size() <= maxLines ? lines : QStringList{};
}

} // namespace

QStringList wrapLines(const QString& text, const QFont& font, const QPaintDevice* device,
                      double width, int maxLines, bool* complete)
{
    if (maxLines > 1 && text.contains(QChar(0xFF5C))) {
        QStringList lines = wrapAtSeparators(text, font, device, width, maxLines);
        if (!lines.isEmpty()) {
            if (complete)
                *complete = true;
            return lines;
        }
    }
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
