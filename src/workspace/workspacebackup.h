// The workspace database in the store's backups and restores. A backup of the store is
// accompanied by a copy of its workspace made with SQLite's online backup (a consistent copy
// even while another program writes; never a byte copy of a WAL database), named after the
// backup: "MXR-20261211-093000.DAT" -> "MXR-20261211-093000.workspace.sqlite". A restore brings
// that copy's approvals and received-record links back with the store's content, keeps the
// journal (it is append-only: no entry made after the backup is lost) and journals the
// restore itself. Plain C++ over libsqlite3.
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

struct RestoreJournal {
    bool ok = false;
    std::string error;        // UTF-8, when not ok
    bool fromCopy = false;    // the backup had a workspace copy and its tables were taken
    bool wholeCopy = false;   // there was no workspace: the copy became it, journal and all
    int64_t entryId = 0;      // the restore's journal entry
};

// After the store at storePath was replaced by the backup at backupPath (and read again as
// after, with its file identity): takes the tables of the backup's workspace copy other than
// the journal's into the store's workspace (the whole copy where the store had no usable
// workspace), journals the restore (kind::Restore, reason: the backup's file name; its items
// what differs from before, when given) and takes after as the journal's known store state.
// A backup without a copy keeps the workspace as it is and journals the restore there (one is
// created when there was none).
RestoreJournal RestoreWorkspace(const std::string& backupPath, const std::string& storePath,
                                const CCustomerDB* before, const CCustomerDB& after,
                                const FileIdentity& identity, const Actor& actor, int64_t now);

} // namespace ws
