#include "workspace/journalidentity.h"

#include <cstdio>
#include <random>

namespace ws {
namespace {

void ensureTable(sqlite::Db& db)
{
    db.Exec("CREATE TABLE IF NOT EXISTS journal_sync (key TEXT PRIMARY KEY, value TEXT NOT NULL)");
}

std::string randomId()
{
    std::random_device device;
    std::string id;
    for (int i = 0; i < 4; ++i) {
        char part[9];
        std::snprintf(part, sizeof part, "%08x", static_cast<unsigned>(device()));
        id += part;
    }
    return id;
}

} // namespace

std::string JournalIdentity(Workspace& workspace)
{
    sqlite::Db& db = workspace.Db();
    ensureTable(db);
    sqlite::Transaction tx(db);
    {
        sqlite::Stmt read(db, "SELECT value FROM journal_sync WHERE key = 'journal_id'");
        if (read.Step())
            return read.Text(0);
    }
    const std::string id = randomId();
    sqlite::Stmt write(db, "INSERT INTO journal_sync (key, value) VALUES ('journal_id', ?1)");
    write.Bind(1, id);
    write.Run();
    tx.Commit();
    return id;
}

void RenewJournalIdentity(Workspace& workspace)
{
    sqlite::Db& db = workspace.Db();
    ensureTable(db);
    db.Exec("DELETE FROM journal_sync WHERE key = 'journal_id'");
}

} // namespace ws
