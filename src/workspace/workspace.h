// Workspace: the SQLite database beside the data store file that keeps what the store file
// cannot: the change journal, the store as the journal last knew it, approvals and the link
// of each received record to its reception. The store file stays the only home of the
// measurements; the workspace is optional for reading (a store without one opens as before)
// and is created at the first journaled change. Plain C++ over libsqlite3.
//
// The journal is append-only: an entry, once done, is never changed or removed. A save of the
// store is journaled in three steps so that a kill at any point leaves store and journal
// consistent: BeginSave (the entry, pending, with the identity the new file will have) before
// the new file replaces the old one, FinishSave after; a pending entry found at the next open
// is done when the store file is the one it expected, and void (never shown) otherwise.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "model/customerdb.h"
#include "model/fileidentity.h"
#include "workspace/journalentry.h"
#include "workspace/sqlitedb.h"

namespace ws {

// The schema this program writes; an older file is migrated on open, a newer one is refused.
inline constexpr int kSchemaVersion = 1;

// "<store path without extension>.workspace.sqlite" beside the store.
std::string WorkspacePathFor(const std::string& storePath);

enum class OpenStatus {
    Opened,   // an existing workspace
    Created,  // made now (create was set)
    Missing,  // none there and create was not set: nothing is journaled
    Replaced, // the file was damaged: kept aside (setAsidePath) and a new one started
    TooNew,   // written by a newer program: left alone, nothing is journaled
    Failed,   // could not be opened or made (error)
};

struct OpenOutcome {
    OpenStatus status = OpenStatus::Missing;
    std::string setAsidePath;
    std::string error;
    bool usable() const
    {
        return status == OpenStatus::Opened || status == OpenStatus::Created ||
               status == OpenStatus::Replaced;
    }
};

class Workspace {
public:
    Workspace() = default;
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    // Opens the workspace of the store at storePath (WAL mode, migrated to kSchemaVersion).
    OpenOutcome Open(const std::string& storePath, bool create);
    // Opens a workspace file itself (a backup's copy, a test's file).
    OpenOutcome OpenFile(const std::string& path, bool create);
    void Close();
    bool IsOpen() const { return m_db.IsOpen(); }
    const std::string& Path() const { return m_path; }
    // For the tables of other parts (approvals, provenance) and for tests.
    sqlite::Db& Db() { return m_db; }

    // ---- The journal ----------------------------------------------------------------------
    // An entry that is done at once (approvals, a change found at load). Its items update the
    // known store state; with identity, the known identity is set in the same transaction.
    // Returns its id.
    int64_t Append(const JournalEntry& entry, const FileIdentity* identity = nullptr);
    // The entry of a save, pending until FinishSave: expected is the identity the store file
    // will have once the save replaced it (the temporary file's, which the rename keeps).
    int64_t BeginSave(const JournalEntry& entry, const FileIdentity& expected);
    // The save replaced the store file: the entry is done and the known store state follows
    // its items.
    void FinishSave(int64_t id, const FileIdentity& written);
    // The save did not replace the store file: the entry is void.
    void AbandonSave(int64_t id);
    // Resolves entries left pending by a program that was killed: done when the store file is
    // the one expected, void otherwise. Returns the number made done.
    int ResolvePending(const FileIdentity& storeNow);
    // The entries, oldest first (with limit: the newest limit of them, still oldest first).
    std::vector<JournalEntry> Query(const JournalFilter& filter = {}) const;
    std::size_t EntryCount() const;

    // ---- The store as the journal last knew it --------------------------------------------
    // The identity of the store file after the last journaled save or check.
    std::optional<FileIdentity> KnownIdentity() const;
    void SetKnownIdentity(const FileIdentity& identity);
    // Whether a state is known at all (false for a new workspace before SetBaseline).
    bool HasState() const;
    // Takes tree as the known state (a new workspace, or after a restore).
    void SetBaseline(const CCustomerDB& tree, const FileIdentity& identity);
    // What differs between the known state and tree, as items (records added, removed,
    // changed by content key); empty when nothing does.
    std::vector<JournalItem> DiffWithState(const CCustomerDB& tree) const;

private:
    OpenOutcome OpenAt(const std::string& path, bool create);
    void Migrate();
    void InsertItems(int64_t id, const std::vector<JournalItem>& items);
    void ApplyToState(int64_t id);

    sqlite::Db m_db;
    std::string m_path;
};

} // namespace ws
