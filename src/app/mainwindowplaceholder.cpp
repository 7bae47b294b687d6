// The main window of the start-up: the main frame with its document.
#include "app/mainwindowplaceholder.h"

#include "app/appsettings.h"
#include "ui/mainframe.h"

QMainWindow* CreateMainWindow(CxLogFile& appLog)
{
    return CMainFrame::CreateWithDocument(AppSettings(), &appLog);
}
