// Sizing a top-level window for the screen it opens on: the size it would like, but never
// larger than the screen's available area, and placed inside that area so its title bar and
// buttons can be reached.
#pragma once

#include <QRect>
#include <QSize>

class QWidget;

namespace windowfit {

// Sizes the window for an available area: the preferred size, but no larger than the area
// (less an allowance for the window frame), with a minimum size that fits too, and the
// window centred inside the area.
void FitInto(QWidget& window, const QRect& available, QSize preferred, QSize minimum);
// FitInto the available area of the screen of the window's parent (or of the window itself,
// or the primary screen).
void FitToScreen(QWidget& window, QSize preferred, QSize minimum);

} // namespace windowfit
