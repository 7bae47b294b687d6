// What this workstation last synchronised: the database, the store file as it was left, the
// server's change counter then, and for every record the revision and state it had. Kept in a
// small text file in the application folder.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "model/fileidentity.h"

namespace shareddb {

inline constexpr const char* kStateFileName = "shareddb.state";

struct SyncedRecord {
    int32_t revision = 0;
    uint64_t stateHash = 0; // of the local record as it was after the sync
};

struct SyncState {
    std::string databaseId;
    std::string storePath;
    // Set only after a complete sync in both directions: the store file as it was saved then and
    // the server's highest change number. When both are unchanged there is nothing to do.
    FileIdentity store;
    int64_t changeSeq = -1;
    // By RecordPathKey. A record that is here but missing from the store was deleted locally
    // and is not fetched again.
    std::unordered_map<std::string, SyncedRecord> records;
};

// Reads the state file; a missing or damaged file gives an empty state.
SyncState ReadSyncState(const std::string& path);
// Writes it atomically. False on failure.
bool WriteSyncState(const std::string& path, const SyncState& state);

} // namespace shareddb
