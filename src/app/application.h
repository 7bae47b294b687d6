// Application: the start-up and exit of MXRView, in their fixed order.
// Application was CMXRViewApp in the Windows program's sources.
#pragma once

#include "link/cxlogfile.h"

#include <QObject>
#include <QStringList>

#include <memory>

class QMainWindow;
class QSocketNotifier;
class SingleInstance;

class Application : public QObject {
    Q_OBJECT
public:
    Application();
    ~Application() override;

    // The start-up: application folder, single instance, settings, current directory,
    // application log, abnormal-end check, main window. False when this copy ends right away
    // (a second copy, or a failure); ExitInstance then gives the exit status.
    bool InitInstance(const QStringList& arguments);
    // The exit: the "RunningNum" mark and the settings are saved only after a completed
    // start-up. Returns the exit status.
    int ExitInstance();

    // The application log ("<folder>/MXRView%d.LOG").
    CxLogFile& AppLog() { return m_appLog; }
    QMainWindow* MainWindow() const { return m_mainWindow.get(); }

private:
    void installSignalHandlers();
    void onTerminationSignal();
    // Closes the modal windows and the main window; waits first for a window that is ending
    // work it was asked to cancel.
    void continueTermination();
    void raiseMainWindow();

    CxLogFile m_appLog;
    std::unique_ptr<SingleInstance> m_instance;
    std::unique_ptr<QMainWindow> m_mainWindow;
    QSocketNotifier* m_signalNotifier = nullptr;
    bool m_startupInProgress = false;
    bool m_startupCompleted = false;
    bool m_terminationRequested = false; // a termination signal arrived
    bool m_viewing = false;              // only viewing a store file named on the command line
    int m_exitCode = 0;
};
