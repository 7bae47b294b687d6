// The main window until the real main frame takes its place.
#include "app/mainwindowplaceholder.h"

QMainWindow* CreateMainWindow()
{
    auto* window = new QMainWindow;
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->setWindowTitle(QString::fromUtf8("マクセラテスタ"));
    window->resize(1024, 720);
    return window;
}
