// Automatic backups of the data store: copies named "MXR-YYYYMMDD-HHMMSS.DAT" in the folder
// "backup" beside the store, made before the first save of a day and before any step that
// replaces much of the store (import, restore, re-judging old data), and pruned by a rotation
// rule. Shared by the document and mxrtool.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace storebackup {

// The least a policy keeps, whatever the settings say: a restore or an import must always
// leave the backup it made and the one before it.
inline constexpr int kMinKeepLast = 3;
inline constexpr int kMinKeepMonths = 1;

// What else is kept beside the store and goes with each of its backups (the workspace
// database): called by MakeBackup once the store's backup exists, with the store's path and the
// backup's, it copies its file beside the backup under the backup's name with an ending of its
// own ("MXR-20261211-093000.DAT" -> "MXR-20261211-093000.<ending>") and returns "" or why it
// could not. The store's backup stands either way. The rotation removes every file so named
// together with its backup.
using CompanionBackup =
    std::function<std::string(const std::string& storePath, const std::string& backupPath)>;

struct BackupPolicy {
    BackupPolicy() = default;
    BackupPolicy(int last, int months, CompanionBackup with = {})
        : keepLast(last), keepMonths(months), companion(std::move(with))
    {
    }

    int keepLast = 10;   // the newest backups (and the newest of each of that many days)
    int keepMonths = 12; // the newest backup of each of that many calendar months, this one first
    CompanionBackup companion; // empty: the store file alone
    // The policy with both counts raised to their minimums.
    BackupPolicy Clamped() const;
};

// The file in the backup folder that lists the backups in the order they were made, one name a
// line, oldest first. The clock may have been set wrong when a backup was made, so its name
// alone does not say which backup is the newest.
inline constexpr const char* kCreationOrderFile = "order.txt";

// "<folder of the store>/backup".
std::string BackupFolderFor(const std::string& storePath);

// "MXR-YYYYMMDD-HHMMSS.DAT" in local time; seq > 1 appends "-<seq>" before the extension for a
// second backup within the same second.
std::string BackupName(std::time_t when, int seq = 1);

// The local time a backup name stands for; false for any other name.
bool ParseBackupName(std::string_view name, std::tm& stamp);

// The files of `names` that belong to the backup `backupName` (its name without ".DAT" followed
// by '.', other than the backup itself): the companions made with it.
std::vector<std::string> CompanionsOf(const std::vector<std::string>& names,
                                      const std::string& backupName);

// The names (among `names`, any order) that the rotation removes, as of `now`, under the
// policy raised to its minimums. "Newest" is the order of creation: the names in `created`
// (oldest first, as the creation order file lists them) are newer than any name not in it
// (made before the list was kept), and among those the name's date decides. Kept are the
// keepLast newest, the newest of each of the keepLast newest days (many backups in one day
// never push the only copy of an earlier day out), the newest of each of the keepMonths
// calendar months ending with the month of `now`, the newest of all, and `justMade` (the
// backup of the running operation). Names that are not backups are never removed.
std::vector<std::string> PlanPrune(const std::vector<std::string>& names,
                                   const BackupPolicy& policy, std::time_t now,
                                   const std::vector<std::string>& created = {},
                                   const std::string& justMade = {});

struct BackupResult {
    bool ok = false;
    bool noStore = false;         // nothing to back up (no store file yet): ok as well
    std::string path;             // the backup made
    int error = 0;                // errno of the failure
    std::string companionError;   // the policy's companion could not be copied (UTF-8)
    std::string Describe() const; // failure text for the log (UTF-8-free ASCII + path)
};

// Copies the store to its backup folder (created when missing) as a hard link when the
// filesystem allows it, otherwise as a copy written to a temporary file and renamed, so a
// backup is never a partial file. Then has the policy's companion copied beside it, notes it as
// the newest in the creation order file and prunes the folder by `policy`, never removing the
// backup just made; a pruned backup's companion files go with it.
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

// The backups of a store, newest (by creation) first, each read with the store reader.
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
