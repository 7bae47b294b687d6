// The main window until the real main frame takes its place: an empty window with the title.
#pragma once

#include <QMainWindow>

// A new, empty main window titled "マクセラテスタ".
QMainWindow* CreateMainWindow();
