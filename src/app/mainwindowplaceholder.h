// The main window of the start-up: the main frame with its document.
#pragma once

#include <QMainWindow>

class CxLogFile;

// The main frame titled "マクセラテスタ"; its document has loaded the data store (notes on
// the store go to appLog). Not shown yet.
QMainWindow* CreateMainWindow(CxLogFile& appLog);
