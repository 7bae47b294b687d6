// What this workstation last synchronised: the database, the store file as it was left, a
// digest of the server's records then, and for every record the revision and the states it had
// on both sides. Kept in a small text file in the application folder.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "model/fileidentity.h"

namespace shareddb {

inline constexpr const char* kStateFileName = "shareddb.state";

struct SyncedRecord {
    int32_t revision = 0;
    uint64_t stateHash = 0;  // of the local record as it was after the sync
    uint64_t serverHash = 0; // of the server's revision then (differs where the merge adapted
                             // the record to its set's conditions)
};

struct SyncState {
    std::string databaseId;
    std::string storePath;
    // Set only after a sync that left both sides holding the same records: the store file as it
    // was then and the digest of the server's records (ServerDigest). When both are unchanged
    // there is nothing to do.
    FileIdentity store;
    std::string serverDigest;
    // By RecordPathKey: the base against which a difference is told apart as a change here or a
    // change elsewhere. It never decides whether a record exists: a record the database holds
    // and the store lacks is fetched again.
    std::unordered_map<std::string, SyncedRecord> records;
};

// Reads the state file; a missing or damaged file gives an empty state.
SyncState ReadSyncState(const std::string& path);
// Writes it atomically. False on failure.
bool WriteSyncState(const std::string& path, const SyncState& state);

} // namespace shareddb
