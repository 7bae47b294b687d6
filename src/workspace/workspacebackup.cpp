#include "workspace/workspacebackup.h"

#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <set>
#include <vector>

#include "model/cp932text.h"
#include "model/safefile.h"
#include "workspace/journalidentity.h"
#include "workspace/sqlitedb.h"
#include "workspace/storejournal.h"
#include "workspace/workspace.h"

namespace ws {
namespace {

// One raw connection closed with its scope (the backup API works on two of them).
struct Conn {
    sqlite3* db = nullptr;
    ~Conn() { sqlite3_close_v2(db); }
};

std::string errorOf(sqlite3* db, int rc, const std::string& what)
{
    return what + ": " + (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
}

bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

void removeDatabaseFiles(const std::string& path)
{
    for (const char* ending : {"", "-journal", "-wal", "-shm"})
        std::remove((path + ending).c_str());
}

std::string fileName(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<std::string> columnsOf(const sqlite::Db& db, const std::string& schema,
                                   const std::string& table)
{
    std::vector<std::string> columns;
    sqlite::Stmt info(db, "SELECT name FROM pragma_table_info(?1, ?2)");
    info.Bind(1, table).Bind(2, schema);
    while (info.Step())
        columns.push_back(info.Text(0));
    return columns;
}

std::string quoted(const std::string& name)
{
    std::string q = "\"";
    for (char c : name)
        q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

std::vector<std::pair<std::string, std::string>> tablesOf(sqlite::Db& db, const char* schema)
{
    std::vector<std::pair<std::string, std::string>> tables; // name, CREATE statement
    sqlite::Stmt list(db, std::string("SELECT name, sql FROM ") + schema +
                              ".sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%' "
                              "ORDER BY name");
    while (list.Step())
        if (!IsJournalTable(list.Text(0)))
            tables.emplace_back(list.Text(0), list.Text(1));
    return tables;
}

// Replaces the rows of every table of the attached copy that is not the journal's with the
// copy's rows (the columns both have); a table the workspace lacks is created as the copy has
// it, and one the copy lacks (made after the backup) is emptied. One transaction.
void takeTables(sqlite::Db& db)
{
    const auto tables = tablesOf(db, "copy");
    std::set<std::string> inCopy;
    for (const auto& table : tables)
        inCopy.insert(table.first);
    sqlite::Transaction tx(db);
    for (const auto& table : tablesOf(db, "main"))
        if (!inCopy.count(table.first))
            db.Exec(("DELETE FROM main." + quoted(table.first)).c_str());
    for (const auto& [name, create] : tables) {
        std::vector<std::string> mine = columnsOf(db, "main", name);
        if (mine.empty()) {
            db.Exec(create.c_str());
            mine = columnsOf(db, "main", name);
        }
        const std::vector<std::string> theirs = columnsOf(db, "copy", name);
        const std::set<std::string> both(theirs.begin(), theirs.end());
        std::string list;
        for (const std::string& c : mine)
            if (both.count(c))
                list += (list.empty() ? "" : ", ") + quoted(c);
        db.Exec(("DELETE FROM main." + quoted(name)).c_str());
        if (!list.empty())
            db.Exec(("INSERT INTO main." + quoted(name) + " (" + list + ") SELECT " + list +
                     " FROM copy." + quoted(name))
                        .c_str());
    }
    tx.Commit();
}

} // namespace

std::string WorkspaceCopyFor(const std::string& backupPath) { return WorkspacePathFor(backupPath); }

std::string CopyDatabase(const std::string& from, const std::string& to)
{
    Conn source;
    int rc = sqlite3_open_v2(from.c_str(), &source.db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK)
        return errorOf(source.db, rc, "open " + from);
    sqlite3_busy_timeout(source.db, 10000);
    // The temporary file is named after the copy, so a backup's rotation removes one left by a
    // program that was killed while copying.
    const std::string part = to + "-part";
    removeDatabaseFiles(part);
    std::string error;
    {
        Conn target;
        rc = sqlite3_open_v2(part.c_str(), &target.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                             nullptr);
        if (rc != SQLITE_OK) {
            error = errorOf(target.db, rc, "open " + part);
        } else {
            sqlite3_backup* backup = sqlite3_backup_init(target.db, "main", source.db, "main");
            if (!backup) {
                error = errorOf(target.db, SQLITE_ERROR, "backup " + from);
            } else {
                // All pages in one step: the copy is one read transaction of the source, so a
                // writer in WAL mode neither waits for it nor makes it start again.
                do {
                    rc = sqlite3_backup_step(backup, -1);
                    if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
                        sqlite3_sleep(50);
                } while (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED);
                sqlite3_backup_finish(backup);
                if (rc != SQLITE_DONE)
                    error = errorOf(target.db, rc, "backup " + from);
            }
            // The copy carries the source's WAL mark in its header; a copy is one file, read
            // by whoever restores it, so it goes back to a rollback journal.
            if (error.empty() &&
                sqlite3_exec(target.db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr) !=
                    SQLITE_OK)
                error = errorOf(target.db, SQLITE_ERROR, "journal mode " + part);
        }
    }
    if (error.empty() && std::rename(part.c_str(), to.c_str()) != 0)
        error = "rename " + part + ": " + std::to_string(errno);
    if (!error.empty()) {
        removeDatabaseFiles(part);
        return error;
    }
    return {};
}

std::string BackUpWorkspace(const std::string& storePath, const std::string& backupPath)
{
    const std::string path = WorkspacePathFor(storePath);
    if (!exists(path))
        return {};
    return CopyDatabase(path, WorkspaceCopyFor(backupPath));
}

storebackup::BackupPolicy WithWorkspace(storebackup::BackupPolicy policy)
{
    policy.companion = BackUpWorkspace;
    return policy;
}

bool IsJournalTable(const std::string& name)
{
    // The entries and their items, the store as the journal knows it, the schema's notes and
    // the journal's identity for the shared database.
    static const std::set<std::string> journal = {
        "meta", "journal", "journal_item", "store_record", "journal_sync",
    };
    return journal.count(name) > 0;
}

WorkspaceRestore RestoreWorkspaceTables(const std::string& backupPath,
                                        const std::string& storePath)
{
    WorkspaceRestore result;
    const std::string copy = WorkspaceCopyFor(backupPath);
    const std::string live = WorkspacePathFor(storePath);
    result.fromCopy = exists(copy);
    if (!result.fromCopy) {
        result.ok = true;
        return result;
    }
    try {
        Workspace workspace;
        OpenOutcome opened = workspace.Open(storePath, false);
        if (opened.status == OpenStatus::Missing || opened.status == OpenStatus::Replaced) {
            // Nothing of this store's history is here (none, or a damaged one kept aside): the
            // copy becomes the workspace.
            workspace.Close();
            removeDatabaseFiles(live);
            const std::string error = CopyDatabase(copy, live);
            if (!error.empty()) {
                result.error = error;
                return result;
            }
            result.wholeCopy = true;
            opened = workspace.Open(storePath, false);
        }
        if (!opened.usable()) {
            result.error =
                opened.error.empty() ? "the workspace cannot be opened: " + live : opened.error;
            return result;
        }
        if (result.wholeCopy) {
            RenewJournalIdentity(workspace);
            result.ok = true;
            return result;
        }
        // The copy as this program's schema has it (an older one is migrated on a temporary
        // copy; the backup itself stays as it was).
        const std::string temporary = live + "-restore";
        const std::string error = CopyDatabase(copy, temporary);
        if (!error.empty()) {
            result.error = error;
            return result;
        }
        {
            Workspace migrated;
            if (migrated.OpenFile(temporary, false).status != OpenStatus::Opened) {
                removeDatabaseFiles(temporary);
                result.error = "the backup's workspace cannot be read: " + copy;
                return result;
            }
        }
        sqlite::Stmt attach(workspace.Db(), "ATTACH DATABASE ?1 AS copy");
        attach.Bind(1, temporary);
        attach.Run();
        try {
            takeTables(workspace.Db());
        } catch (...) {
            workspace.Db().Exec("DETACH DATABASE copy");
            removeDatabaseFiles(temporary);
            throw;
        }
        workspace.Db().Exec("DETACH DATABASE copy");
        removeDatabaseFiles(temporary);
        result.ok = true;
    } catch (const std::exception& e) {
        result.error = e.what();
    }
    return result;
}

RestoreJournal RestoreWorkspace(const std::string& backupPath, const std::string& storePath,
                                const CCustomerDB& after, const FileIdentity& identity,
                                const Actor& actor)
{
    RestoreJournal result;
    static_cast<WorkspaceRestore&>(result) = RestoreWorkspaceTables(backupPath, storePath);
    if (!result.ok)
        return result;
    StoreJournal journal;
    journal.SetActor(actor);
    std::string warning;
    journal.SetWarning([&](const std::string& text) { warning = text; });
    journal.Attach(storePath);
    const std::optional<JournalEntry> entry =
        journal.AfterLoad(after, identity, kind::Restore, kRestoreSummary, fileName(backupPath));
    if (entry)
        result.entryId = entry->id;
    if (!warning.empty()) {
        result.ok = false;
        result.error = warning;
    }
    return result;
}

} // namespace ws
