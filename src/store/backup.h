// Automatic backups of the data store: copies named "MXR-YYYYMMDD-HHMMSS.DAT" in the folder
// "backup" beside the store, made before the first save of a day and before any step that
// replaces much of the store (import, restore, re-judging old data), and pruned by a rotation
// rule. Shared by the document and mxrtool.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace storebackup {

struct BackupPolicy {
    int keepLast = 10;   // the newest backups (and the newest of each of that many days)
    int keepMonths = 12; // the newest backup of each of that many calendar months, this one first
};

// "<folder of the store>/backup".
std::string BackupFolderFor(const std::string& storePath);

// "MXR-YYYYMMDD-HHMMSS.DAT" in local time; seq > 1 appends "-<seq>" before the extension for a
// second backup within the same second.
std::string BackupName(std::time_t when, int seq = 1);

// The local time a backup name stands for; false for any other name.
bool ParseBackupName(std::string_view name, std::tm& stamp);

// The names (among `names`, any order) that the rotation removes, as of `now`. Kept are the
// keepLast newest, the newest of each of the keepLast newest days (many backups in one day
// never push the only copy of an earlier day out) and the newest of each of the keepMonths
// calendar months ending with the month of `now`. Names that are not backups are never removed.
std::vector<std::string> PlanPrune(const std::vector<std::string>& names,
                                   const BackupPolicy& policy, std::time_t now);

struct BackupResult {
    bool ok = false;
    bool noStore = false;         // nothing to back up (no store file yet): ok as well
    std::string path;             // the backup made
    int error = 0;                // errno of the failure
    std::string Describe() const; // failure text for the log (UTF-8-free ASCII + path)
};

// Copies the store to its backup folder (created when missing) as a hard link when the
// filesystem allows it, otherwise as a copy written to a temporary file and renamed, so a
// backup is never a partial file. Then prunes the folder by `policy`.
BackupResult MakeBackup(const std::string& storePath, const BackupPolicy& policy,
                        std::time_t now = std::time(nullptr));

// True when the backup folder holds no backup made on the local day of `now`.
bool NeedsDailyBackup(const std::string& storePath, std::time_t now = std::time(nullptr));

struct BackupInfo {
    std::string path;
    std::string name;
    std::tm stamp{};
    uint64_t size = 0;
    bool readable = false;
    std::size_t customers = 0;
    std::size_t measurements = 0; // records in the whole tree
    std::string problem;          // the reader's message (CP932) when unreadable
};

// The backups of a store, newest first, each read with the store reader.
std::vector<BackupInfo> ListBackups(const std::string& storePath);

enum class RestoreFailure {
    None,
    UnreadableBackup, // the backup does not read without error: nothing was touched
    SafeguardFailed,  // the current store could not be backed up first: nothing was touched
    ReplaceFailed,    // the store could not be replaced (error); the old store stays
};

struct RestoreResult {
    bool ok = false;
    RestoreFailure failure = RestoreFailure::None;
    int error = 0;          // errno when the store could not be replaced
    std::string message;    // why it failed, for logs and the command line (ASCII)
    BackupResult safeguard; // the backup of the store that was replaced
};

// Replaces the store with the backup at backupPath: the backup must read without error; the
// current store is first backed up (a failure there stops the restore); the store is then
// replaced by a safe copy, the backup file itself stays as it was.
RestoreResult RestoreBackup(const std::string& backupPath, const std::string& storePath,
                            const BackupPolicy& policy, std::time_t now = std::time(nullptr));

} // namespace storebackup
