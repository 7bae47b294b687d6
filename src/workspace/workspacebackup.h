// The workspace database in the store's backups and restores. A backup of the store is
// accompanied by a copy of its workspace made with SQLite's online backup (a consistent copy
// even while another program writes; never a byte copy of a WAL database), named after the
// backup: "MXR-20261211-093000.DAT" -> "MXR-20261211-093000.workspace.sqlite". A restore brings
// that copy's approvals and received-record links back with the store's content and keeps the
// journal (it is append-only: no entry made after the backup is lost), which then records the
// restore. Plain C++ over libsqlite3.
#pragma once

#include <cstdint>
#include <string>

#include "model/customerdb.h"
#include "model/fileidentity.h"
#include "store/backup.h"
#include "workspace/journalentry.h"

namespace ws {

// The workspace copy that goes with the store backup at backupPath.
std::string WorkspaceCopyFor(const std::string& backupPath);

// Copies the SQLite database at from to the path to with the online backup API: written to a
// temporary file beside to and renamed, a single file (no -wal beside it). Returns "" or why it
// could not (UTF-8); to is then left as it was.
std::string CopyDatabase(const std::string& from, const std::string& to);

// The companion of a store backup (storebackup::CompanionBackup): copies the workspace of the
// store at storePath beside the backup at backupPath. A store without a workspace has nothing
// to copy ("").
std::string BackUpWorkspace(const std::string& storePath, const std::string& backupPath);

// The policy with the workspace as its companion: every backup made under it carries the
// workspace, whoever makes it.
storebackup::BackupPolicy WithWorkspace(storebackup::BackupPolicy policy);

// The tables of the workspace that belong to its journal: a restore keeps them as they are.
// Every other table (approvals, received-record links ...) is taken from the backup's copy.
bool IsJournalTable(const std::string& name);

struct WorkspaceRestore {
    bool ok = false;
    std::string error;      // UTF-8, when not ok
    bool fromCopy = false;  // the backup had a workspace copy and its tables were taken
    bool wholeCopy = false; // there was no usable workspace: the copy became it, journal and
                            // all (a journal kept open elsewhere must be attached again)
};

// After the store at storePath was replaced by the backup at backupPath, before the journal
// reads the restored store: takes the tables of the backup's workspace copy other than the
// journal's into the store's workspace, in one transaction (the whole copy where the store had
// no usable workspace, under a new journal identity). A backup without a copy leaves the
// workspace as it is. Journals nothing: the journal's next look at the store does (StoreJournal::
// AfterLoad with kind::Restore), as for every store it finds replaced.
WorkspaceRestore RestoreWorkspaceTables(const std::string& backupPath,
                                        const std::string& storePath);

// The summary of a restore's journal entry; its reason is the backup's file name.
inline constexpr const char* kRestoreSummary = "バックアップから復元";

struct RestoreJournal : WorkspaceRestore {
    int64_t entryId = 0; // the restore's journal entry (0: none was written)
};

// The whole step for a program without a journal of its own open (mxrtool):
// RestoreWorkspaceTables, then the restore journaled as the document journals it, against the
// store as read again (after, identity). A store without a workspace journals nothing.
RestoreJournal RestoreWorkspace(const std::string& backupPath, const std::string& storePath,
                                const CCustomerDB& after, const FileIdentity& identity,
                                const Actor& actor);

} // namespace ws
