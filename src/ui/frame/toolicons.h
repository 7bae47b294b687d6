// Icons of the toolbar commands.
#pragma once

#include <QIcon>

namespace ui {

// The icon of a toolbar command. Taken from the desktop's icon theme when that theme has all
// of them (so the bar stays in one style), otherwise drawn by the program.
QIcon toolIcon(int commandId);

// The program's own drawing of the icon (16 × 16 and 32 × 32 pixmaps).
QIcon drawnToolIcon(int commandId);

} // namespace ui
