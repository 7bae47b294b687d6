// The Japanese description of a system error number, for messages that tell the user why a
// file could not be written or read. The C library's own texts are English in every locale
// this program runs in, so the common causes get a text of their own.
#pragma once

#include <QString>

namespace ui {

// "ディスクの空き容量が不足しています" and the like; an errno without a text of its own gives
// "システムエラー <name>" (e.g. "システムエラー EXDEV"). 0 gives an empty string.
QString errnoText(int error);

} // namespace ui
