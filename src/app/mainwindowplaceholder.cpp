// The main window of the start-up: the main frame with its document.
#include "app/mainwindowplaceholder.h"

#include "settings/appsettings.h"
#include "ui/frame/mainwindow.h"

QMainWindow* CreateMainWindow(CxLogFile& appLog, const std::string& viewFile)
{
    return MainWindow::CreateWithDocument(AppSettings(), &appLog, viewFile);
}
