// The identity of a workspace's journal: a random id made the first time it is asked for and
// kept in the workspace, so that the shared database can tell the journal's entries from those
// of a journal started anew on the same workstation (entry ids start again at 1 there).
#pragma once

#include <string>

#include "workspace/workspace.h"

namespace ws {

// The journal's id (32 hex digits), made and kept now when there is none yet.
std::string JournalIdentity(Workspace& workspace);

// Forgets the id, so that the next JournalIdentity makes a new one: a journal restored whole
// from a backup's copy goes on from an earlier entry than its server copy holds.
void RenewJournalIdentity(Workspace& workspace);

} // namespace ws
