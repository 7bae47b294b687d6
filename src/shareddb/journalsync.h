// The workspace's change journal in the shared database: each workstation sends the entries
// of its journal that the server lacks (append-only there too: an entry is sent once, never
// changed), and any workstation reads the others'. RunSync sends; the reading is for the
// change history window and the command line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "shareddb/dbsettings.h"
#include "shareddb/pgconnection.h"
#include "workspace/journalentry.h"
#include "workspace/workspace.h"

namespace shareddb {

// Sends the entries of workspace's journal that the server does not hold yet under
// workstation (UTF-8) and the journal's identity, in one transaction. Sending again sends
// nothing. Returns the number of entries sent. Throws PgError (and sqlite::Error from the
// workspace).
int PushJournal(PgConnection& c, ws::Workspace& workspace, const std::string& workstation);

// The same for the workspace of the store at storePath; a store without a workspace has
// nothing to send. A workspace that cannot be read is reported in problem (UTF-8) and sends
// nothing; a failure of the server throws PgError.
int PushStoreJournal(PgConnection& c, const std::string& storePath,
                     const std::string& workstation, std::string& problem);

// An entry as the server holds it: the workstation that sent it and its journal's identity;
// entry.id is its id in that journal.
struct SharedJournalEntry {
    std::string workstation;
    std::string journalId;
    ws::JournalEntry entry;
};

struct SharedJournalFilter {
    std::string workstation;        // only this workstation's entries (UTF-8; empty: all)
    std::string excludeWorkstation; // not this workstation's (e.g. one's own)
    std::string customer, cable, set; // an item at or below these names (UTF-8; empty: any)
    int64_t since = 0;              // entry time >= since (seconds; 0: any)
    int64_t until = 0;              // entry time < until (0: any)
    std::size_t limit = 0;          // the newest limit entries (0: all)
    bool withItems = true;
};

// The entries of the shared journal, oldest first (by entry time, then workstation, journal
// and id). Throws PgError.
std::vector<SharedJournalEntry> ReadSharedJournal(PgConnection& c,
                                                  const SharedJournalFilter& filter = {});

struct SharedJournalResult {
    bool ok = false;
    std::string message; // UTF-8, why it failed
    std::vector<SharedJournalEntry> entries;
};

// Connects with settings and reads; never throws.
SharedJournalResult ReadSharedJournal(const DbSettings& settings,
                                      const SharedJournalFilter& filter = {});

} // namespace shareddb
