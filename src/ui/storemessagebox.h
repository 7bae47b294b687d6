// Shows a failed load or save of a data store file in the box its kind calls for.
#pragma once

#include "store/store.h"

class QWidget;

namespace ui {

// Nothing on success; the open failure as information, a refused signature or version with the
// error icon, any other failure (the three-line archive message) as a plain notice.
void ShowStoreMessage(QWidget* parent, const StoreOutcome& outcome);

} // namespace ui
