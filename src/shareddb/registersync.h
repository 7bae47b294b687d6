// The cable register in the shared database: each workstation sends the revisions of its
// register that are newer than the server's and takes the server's that are newer than its
// own. Per cable the last writer wins (modified time, then workstation name); the revision
// that lost is kept in cable_register_old on the side where it was replaced. A removal
// travels as the cable's revision too, so a cable removed on one workstation loses its entry
// on the others unless one of them wrote it later. A customer's default retest interval
// travels the same way (last writer per customer, the loser kept in customer_register_old);
// the cable types the users added are a union: a type added anywhere is added everywhere and
// a sync never removes one.
#pragma once

#include <string>

#include "shareddb/pgconnection.h"
#include "workspace/workspace.h"

namespace shareddb {

struct RegisterSyncCount {
    int sent = 0;     // revisions (cables, customers' intervals) and cable types sent
    int received = 0; // ... taken into the workspace
};

// push: send what is newer here; pull: take what is newer there. The server's part is one
// transaction (register syncs of all workstations take turns), the workspace's another.
// Throws PgError and sqlite::Error.
RegisterSyncCount SyncRegister(PgConnection& c, ws::Workspace& workspace, bool push, bool pull);

// The same for the workspace of the store at storePath; a store without a workspace sends
// nothing and takes the server's revisions only when there are any (making the workspace then).
// A workspace that cannot be read is reported in problem (UTF-8); a failure of the server
// throws PgError.
RegisterSyncCount SyncStoreRegister(PgConnection& c, const std::string& storePath, bool push,
                                    bool pull, std::string& problem);

} // namespace shareddb
