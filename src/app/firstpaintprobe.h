// FirstPaintProbe: measures the start-up up to the main window's first paint (for the start-up
// benchmark script), switched on by an environment variable.
#pragma once

#include <QObject>

#include <chrono>

// With MXRVIEW_FIRST_PAINT_EXIT set, prints "first-paint-ms <n>" (milliseconds since `start`)
// when a widget of a main window paints for the first time, and ends the process at once,
// without the normal exit: nothing is saved, so the prepared folder stays as it was for the
// next run.
class FirstPaintProbe : public QObject {
public:
    using Clock = std::chrono::steady_clock;

    // Installs the probe on the application when the variable is set.
    static void InstallIfRequested(Clock::time_point start);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit FirstPaintProbe(Clock::time_point start) : m_start(start) {}
    Clock::time_point m_start;
};
