// The main window's state kept in the settings file: its placement ("Window" "Placement") and
// the splitter state ("SplitterWnd" "main_Panes_0").
#pragma once

#include <string>

class CAppSettings;
class QWidget;

namespace framestate {

inline constexpr const char* SplitterSection = "SplitterWnd";
inline constexpr const char* SplitterKey = "main_Panes_0"; // "%s_Panes_%d": name "main", depth 0
inline constexpr int ShowMinimized = 2;
inline constexpr int ShowMaximized = 3;

// Sets the window's normal geometry from a placement that was read completely; a rectangle
// without area is ignored, and one that lies on no screen keeps its size but not its
// position. Returns true when the window is to be shown maximized (show command 3).
bool ApplyPlacement(QWidget& window, const CAppSettings& settings);
// The window's current placement into the settings (written by SaveSettings at exit).
void StorePlacement(const QWidget& window, CAppSettings& settings);

// "%d %d %d %d": hidden column, width of column 0, hidden row, height of row 0; a size of -1
// is written as 100.
std::string SplitterStateText(int hiddenColumn, int width0, int hiddenRow, int height0);
// The report view fills the client area, so the state always has column 1 hidden and the
// view's size as the first pane's.
void WriteSplitterState(const std::string& iniPath, const QWidget& reportView);

} // namespace framestate
