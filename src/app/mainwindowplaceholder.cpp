// The main window of the start-up: the main frame with its document.
#include "app/mainwindowplaceholder.h"

#include "settings/appsettings.h"
#include "ui/frame/mainframe.h"

QMainWindow* CreateMainWindow(CxLogFile& appLog, const std::string& viewFile)
{
    return CMainFrame::CreateWithDocument(AppSettings(), &appLog, viewFile);
}
