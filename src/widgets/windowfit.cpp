// Sizing and placing a top-level window within the available screen area.
#include "widgets/windowfit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace windowfit {

void FitInto(QWidget& window, const QRect& available, QSize preferred, QSize minimum)
{
    // Title bar and borders that the window manager adds around the window; known only once
    // the window is shown, so a generous allowance before that.
    QSize frame = window.frameGeometry().size() - window.geometry().size();
    if (!window.isVisible() || frame.isEmpty())
        frame = frame.expandedTo(QSize(16, 40));
    const QSize room = (available.size() - frame).expandedTo(QSize(200, 150));
    const QSize size = preferred.boundedTo(room);
    window.setMinimumSize(minimum.boundedTo(size));
    window.resize(size);
    const int x = available.left() + (available.width() - size.width() - frame.width()) / 2;
    const int y = available.top() + (available.height() - size.height() - frame.height()) / 2;
    window.move(std::max(x, available.left()), std::max(y, available.top()));
}

void FitToScreen(QWidget& window, QSize preferred, QSize minimum)
{
    const QWidget* anchor = window.parentWidget() ? window.parentWidget()->window() : &window;
    const QScreen* s = anchor->screen() ? anchor->screen() : QGuiApplication::primaryScreen();
    FitInto(window, s ? s->availableGeometry() : QRect(0, 0, 1280, 720), preferred, minimum);
}

} // namespace windowfit
