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

// About 6 pt and 5 pt in 0.1 mm: the smallest heights report texts and, in cells made for
// small print, texts wrapped to two lines are drawn at on paper.
inline constexpr int kSixPointHeight = 21;
inline constexpr int kFivePointHeight = 18;

// The smallest font height (0.1 mm) a report text is drawn at: `floor` (about 6 pt unless a
// cell says otherwise), and never fewer than 8 device pixels (the screen's legible minimum).
int legibleMinimumHeight(const ReportMapping& mapping, int floor = kSixPointHeight);

// The text in at most maxLines lines of at most `width` device units each: after a "｜"
// separator where that is enough (a value stays whole beside its label), else between words
// or, where a word is too long (digits, Japanese), between characters. The last line takes
// what is left, elided with "…" when it is too wide. complete: nothing was elided.
QStringList wrapLines(const QString& text, const QFont& font, const QPaintDevice* device,
                      double width, int maxLines, bool* complete = nullptr);

// Draws lines stacked one font height apart, the block centred vertically in `rect`, each
// line aligned by hAlign (Qt::AlignHCenter or Qt::AlignRight).
void drawLines(QPainter& p, const QRectF& rect, const QStringList& lines, int hAlign);

} // namespace report
