// The main window of the start-up: the main frame with its document.
#pragma once

#include <QMainWindow>

#include <string>

class CxLogFile;

// The main frame titled "マクセラテスタ"; its document has loaded the data store (notes on
// the store go to appLog), or views the store file viewFile when that is not empty. Not shown
// yet.
QMainWindow* CreateMainWindow(CxLogFile& appLog, const std::string& viewFile);
