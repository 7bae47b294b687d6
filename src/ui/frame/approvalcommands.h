// The main window's approval commands: "承認(&P)..." and "承認の取り消し(&W)..." for the set the
// report shows, and the switch "承認を印刷する(&P)" for the printed pages' approval line.
#pragma once

#include <functional>

class CAppSettings;
class MainWindow;

namespace approvalcommands {

// Wires the three commands of the frame (its document and report view) and the report view's
// approval line; settings gives the program's settings.
void Wire(MainWindow& frame, std::function<CAppSettings&()> settings);

} // namespace approvalcommands
