// Synchronising a data store with the shared database: sending what the database lacks or what
// changed here, fetching what the store lacks or what changed elsewhere, saving once.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "model/customerdb.h"
#include "shareddb/dbsettings.h"
#include "shareddb/pgconnection.h"
#include "shareddb/syncplan.h"
#include "shareddb/syncstate.h"
#include "store/backup.h"

namespace shareddb {

enum class SyncMode { Push, Pull, Sync };

// A record changed both here and on another workstation since they last synchronised. The
// later revision (the one this sync writes) wins; the other stays in the history table.
struct SyncConflict {
    std::string customer, cable, set; // CP932
    int32_t dataNo = 0;
    double testVoltage = 0;
    OleDateTime startTime;
    int32_t supersededRevision = 0; // the revision kept in the history
    std::string supersededBy;       // the workstation whose revision it was (UTF-8, as the
                                    // server keeps it)
    int32_t winningRevision = 0;
};

// A record the server holds but this sync could not take (its body is damaged on the server).
// It is asked for again at the next sync.
struct SkippedRecord {
    std::string customer, cable, set; // CP932
    int32_t dataNo = 0;
    double testVoltage = 0;
    OleDateTime startTime;
    std::string reason; // UTF-8
};

struct SyncHooks {
    // Checked between data sets; true stops the sync there (sets done so far stay done).
    std::function<bool()> cancelled;
    // After each data set: (sets done, all sets).
    std::function<void(int, int)> progress;
    // Tests: called with the connection after a set's records were sent and before its
    // transaction commits.
    std::function<void(PgConnection&, int setIndex)> beforeCommit;
    // A cancel that also ends a statement or lock wait in progress (from another thread);
    // the set in progress is rolled back. Outlives the sync.
    PgCancel* cancel = nullptr;
};

struct SyncSummary {
    bool ok = false;
    std::string message; // UTF-8; why it failed
    PgFailure failure = PgFailure::None; // the kind of failure (None when ok)
    bool cancelled = false;
    bool nothingToDo = false; // the fast check proved both sides unchanged since they last held
                              // the same records
    int sent = 0;             // records written to the database (new or changed)
    int received = 0;         // records added to the store or changed in it
    std::vector<SyncConflict> conflicts;
    std::vector<SkippedRecord> skipped;
    // Refused: the store has synchronised with another database (switchDatabase not set).
    bool otherDatabase = false;
    std::string previousDatabaseId, databaseId;
    int setsDone = 0, setsTotal = 0;
    bool storeSaved = false;
    std::string backupPath;       // made before the store was changed
    std::string changedAsidePath; // the store had been changed by another program meanwhile
    int journalSent = 0;          // entries of the store's change journal sent
    std::string journalProblem;   // UTF-8: the journal could not be read, so none was sent
    int registerSent = 0;         // register revisions and cable types sent (newer/missing there)
    int registerReceived = 0;     // ... taken from the server (newer than the workspace's)
    std::string registerProblem;  // UTF-8: the register could not be read, so none travelled
};

struct SyncTarget {
    DbSettings db;
    std::string storePath; // native path of the data store
    std::string statePath; // the sync state file
    storebackup::BackupPolicy backup;
    std::string workstation; // empty: DbSettings::workstation, else the host name
    // A store that has synchronised with one database is refused by another unless this is
    // set (the user confirmed the switch): two companies' data would merge both ways.
    bool switchDatabase = false;
};

// The whole operation on the store file: the quick check, loading, the exchange, a backup
// and one safe save when anything was received, the state file. Never throws.
SyncSummary RunSync(const SyncTarget& target, SyncMode mode, const SyncHooks& hooks = {});

// Connection check and counts for `mxrtool db status`.
struct DbStatus {
    bool ok = false;
    std::string message;
    int schemaVersion = 0;
    int expectedVersion = 0;
    std::string databaseId;
    int64_t customers = 0, cables = 0, sets = 0, records = 0, historyRows = 0;
    bool stateMatches = false; // the state file belongs to this database
    bool pending = true;       // a sync may have something to do (not proven in step)
};
DbStatus ReadDbStatus(const SyncTarget& target);

// `mxrtool db init`: the tables, created or brought up to date.
struct InitResult {
    bool ok = false;
    std::string message;
    int versionBefore = 0, versionAfter = 0;
};
InitResult InitDatabase(const DbSettings& db);


// --- the exchange on a tree in memory (RunSync's steps, used by the tests too) ---

struct SyncContext {
    PgConnection& conn;
    SyncState& state;
    std::string workstation;
    const SyncHooks& hooks;
    // State entries of fetched records: applied only once the store holding them is saved, so
    // a failed save never marks records as present here.
    std::unordered_map<std::string, SyncedRecord> pendingState;
    // Set by PullRecords: after it, the store and the server's snapshot hold the same records.
    bool inStep = false;
};

// Sends every set with a record that the snapshot lacks or that changed here; one transaction
// per set, in which the set's rows are read again under its lock. Returns false when
// cancelled. Throws PgError.
bool PushSets(SyncContext& ctx, const CCustomerDB& db, const ServerIndex& server,
              SyncSummary& summary);
// Fetches every record of the snapshot that db lacks or that changed elsewhere and merges it in
// (name rules of the import); a record whose body cannot be read is skipped and named. Returns
// false when cancelled (what was fetched by then is merged). Throws PgError.
bool PullRecords(SyncContext& ctx, CCustomerDB& db, const ServerIndex& server,
                 SyncSummary& summary);

} // namespace shareddb
