// The first-paint measurement of the start-up.
#include "app/firstpaintprobe.h"

#include <QApplication>
#include <QEvent>
#include <QMainWindow>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

void FirstPaintProbe::InstallIfRequested(Clock::time_point start)
{
    if (qEnvironmentVariableIsEmpty("MXRVIEW_FIRST_PAINT_EXIT"))
        return;
    qApp->installEventFilter(new FirstPaintProbe(start));
}

bool FirstPaintProbe::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::Paint || !watched->isWidgetType())
        return false;
    if (!qobject_cast<QMainWindow*>(static_cast<QWidget*>(watched)->window()))
        return false;
    // The first paint event of the window marks the moment; the painting itself is the same
    // with or without a store.
    const auto ms = std::chrono::duration<double, std::milli>(Clock::now() - m_start).count();
    std::printf("first-paint-ms %.1f\n", ms);
    std::fflush(stdout);
    std::_Exit(0);
}
