// The text of a report cell on a device: the legible minimum height, wrapping into a given
// number of lines with the rest elided, and drawing those lines in a rectangle.
#pragma once

#include <QFont>
#include <QRectF>
#include <QStringList>

class QPainter;
class QPaintDevice;
class ReportMapping;

namespace report {

// The smallest font height (0.1 mm) a report text is drawn at: about 6 pt, and never fewer
// than 8 device pixels (the screen's legible minimum).
int legibleMinimumHeight(const ReportMapping& mapping);

// The text in at most maxLines lines of at most `width` device units each, broken between
// words or, where a word is too long (digits, Japanese), between characters. The last line
// takes what is left, elided with "…" when it is too wide. complete: nothing was elided.
QStringList wrapLines(const QString& text, const QFont& font, const QPaintDevice* device,
                      double width, int maxLines, bool* complete = nullptr);

// Draws lines stacked one font height apart, the block centred vertically in `rect`, each
// line aligned by hAlign (Qt::AlignHCenter or Qt::AlignRight).
void drawLines(QPainter& p, const QRectF& rect, const QStringList& lines, int hAlign);

} // namespace report
