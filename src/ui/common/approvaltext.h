// The words the UI uses for approved sets: the refusal of a change and the list mark.
#pragma once

#include <QString>

#include "commands/treecommands.h"

namespace ui {

// The refusal of a change to an approved set (or an entry that holds one), naming the set.
QString ApprovedRefusal(const cmd::TreePath& set);
// "顧客Ａ－CV-1－2024春": a set's names for messages.
QString SetWords(const cmd::TreePath& set);

} // namespace ui
