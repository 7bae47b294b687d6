// RunSync and the other whole operations: connection, schema check, the quick check, load,
// push and pull, backup and one safe save, the state file.
#include "shareddb/sync.h"

#include <unistd.h>

#include <filesystem>
#include <memory>

#include "model/cp932text.h"
#include "shareddb/dbmessages.h"
#include "shareddb/journalsync.h"
#include "shareddb/registersync.h"
#include "shareddb/schema.h"
#include "store/store.h"

namespace shareddb {
namespace {

std::string hostName()
{
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || !name[0])
        return "unknown";
    return name;
}

std::string workstationOf(const SyncTarget& t)
{
    if (!t.workstation.empty())
        return t.workstation;
    if (!t.db.workstation.empty())
        return t.db.workstation;
    return hostName();
}

// The schema must be there and current; a sync never creates or changes tables.
std::string schemaProblem(const SchemaStatus& s)
{
    if (s.version == 0)
        return "共有データベースにテーブルがありません。先に「mxrtool db "
               "init」で作成してください。";
    if (s.version > CurrentSchemaVersion())
        return "共有データベースはこのプログラムより新しい版で作成されています（スキーマ版 " +
               std::to_string(s.version) + "）。プログラムを更新してください。";
    if (s.version < CurrentSchemaVersion())
        return "共有データベースのスキーマが古い版です（" + std::to_string(s.version) +
               "）。「mxrtool db init」で更新してください。";
    return {};
}

// The store's path in one form, whoever names it (the program's relative setting, mxrtool's
// absolute path), so the state file is recognised as the same store's.
std::string canonicalStorePath(const std::string& path)
{
    std::error_code ec;
    const auto p = std::filesystem::absolute(path, ec);
    return ec ? path : p.lexically_normal().string();
}

// The state was kept for this database and this store.
bool stateBelongs(const SyncState& state, const SchemaStatus& schema, const std::string& storeKey)
{
    return state.databaseId == schema.databaseId && state.storePath == storeKey;
}

// Both sides held the same records after the last sync, and neither the store file nor any
// committed record of the server changed since.
bool nothingChanged(const SyncState& state, const std::string& storePath, PgConnection& c)
{
    return state.store.exists && !state.serverDigest.empty() &&
           state.store == IdentityOfPath(storePath) && state.serverDigest == ServerDigest(c);
}

std::string otherDatabaseMessage(const SyncState& state, const SchemaStatus& schema)
{
    return "このデータファイルは別の共有データベース（ID " + state.databaseId +
           "）と同期しています。接続先のデータベース（ID " + schema.databaseId +
           "）と同期すると、両方のデータが互いに取り込まれます。接続先を確かめてください。"
           "切り替える場合は確認のうえ同期し直してください（mxrtool では --switch-database）。";
}

} // namespace

InitResult InitDatabase(const DbSettings& db)
{
    InitResult r;
    try {
        PgConnection c(db.params, db.timeoutSeconds);
        try {
            r.versionBefore = Migrate(c);
            r.versionAfter = ReadSchemaStatus(c).version;
            r.ok = true;
        } catch (const PgError& e) {
            r.message = std::string("共有データベースのテーブルを作成できません\n") + e.what();
        }
    } catch (const PgError& e) {
        r.message = FailureMessage(db, e);
    }
    return r;
}

DbStatus ReadDbStatus(const SyncTarget& target)
{
    DbStatus st;
    st.expectedVersion = CurrentSchemaVersion();
    try {
        PgConnection c(target.db.params, target.db.timeoutSeconds);
        const SchemaStatus s = ReadSchemaStatus(c);
        st.schemaVersion = s.version;
        st.databaseId = s.databaseId;
        if (s.version != 0) {
            PgResult n = c.execParams(
                "SELECT (SELECT count(*) FROM customers), (SELECT count(*) FROM cables), "
                "(SELECT count(*) FROM sets), (SELECT count(*) FROM records), "
                "(SELECT count(*) FROM record_history)",
                {});
            st.customers = n.int8(0, 0);
            st.cables = n.int8(0, 1);
            st.sets = n.int8(0, 2);
            st.records = n.int8(0, 3);
            st.historyRows = n.int8(0, 4);
            const SyncState state = ReadSyncState(target.statePath);
            st.stateMatches = stateBelongs(state, s, canonicalStorePath(target.storePath));
            st.pending = !(st.stateMatches && nothingChanged(state, target.storePath, c));
        }
        st.ok = true;
    } catch (const PgError& e) {
        st.message = FailureMessage(target.db, e);
    }
    return st;
}

SyncSummary RunSync(const SyncTarget& target, SyncMode mode, const SyncHooks& hooks)
{
    SyncSummary summary;
    std::unique_ptr<PgConnection> conn;
    try {
        conn = std::make_unique<PgConnection>(target.db.params, target.db.timeoutSeconds,
                                              hooks.cancel);
    } catch (const PgError& e) {
        if (e.kind() == PgFailure::Cancelled) {
            summary.ok = summary.cancelled = true;
            return summary;
        }
        summary.failure = e.kind();
        summary.message = FailureMessage(target.db, e);
        return summary;
    }
    SyncState state = ReadSyncState(target.statePath);
    try {
        const SchemaStatus schema = ReadSchemaStatus(*conn);
        summary.message = schemaProblem(schema);
        if (!summary.message.empty()) {
            summary.failure = PgFailure::NoSchema;
            return summary;
        }
        const std::string storeKey = canonicalStorePath(target.storePath);
        summary.databaseId = schema.databaseId;
        if (!stateBelongs(state, schema, storeKey)) {
            if (state.storePath == storeKey && !state.databaseId.empty() &&
                !target.switchDatabase) {
                summary.otherDatabase = true;
                summary.previousDatabaseId = state.databaseId;
                summary.message = otherDatabaseMessage(state, schema);
                return summary;
            }
            state = SyncState();
            state.databaseId = schema.databaseId;
            state.storePath = storeKey;
        }
        const std::string ws = workstationOf(target);
        conn->execParams("INSERT INTO workstations VALUES ($1, now()) ON CONFLICT (id) DO "
                         "UPDATE SET last_sync = now()",
                         {PgParam::text(cp932::toUtf8(ws))});
        // The journal goes first: a change of the journal alone (an approval) leaves the
        // store as it was, and the quick check below would end the sync before it.
        if (mode != SyncMode::Pull) {
            try {
                summary.journalSent = PushStoreJournal(*conn, target.storePath,
                                                       cp932::toUtf8(ws), summary.journalProblem);
            } catch (const PgError& e) {
                if (e.kind() != PgFailure::Cancelled)
                    throw;
                summary.ok = summary.cancelled = true;
                return summary;
            }
        }
        // The cable register travels on its own (last writer per cable), before the quick
        // check for the same reason.
        try {
            const RegisterSyncCount reg =
                SyncStoreRegister(*conn, target.storePath, mode != SyncMode::Pull,
                                  mode != SyncMode::Push, summary.registerProblem);
            summary.registerSent = reg.sent;
            summary.registerReceived = reg.received;
        } catch (const PgError& e) {
            if (e.kind() != PgFailure::Cancelled)
                throw;
            summary.ok = summary.cancelled = true;
            return summary;
        }
        if (mode == SyncMode::Sync && nothingChanged(state, target.storePath, *conn)) {
            summary.ok = summary.nothingToDo = true;
            return summary;
        }

        CCustomerDB db;
        const StoreOutcome loaded = LoadStore(db, target.storePath);
        if (!loaded.ok) {
            summary.message = cp932::toUtf8(loaded.message);
            return summary;
        }
        SyncContext ctx{*conn, state, ws, hooks, {}, false};
        // Whatever happens below, the state keeps what reached the server; the quick check is
        // armed again only by a sync that leaves both sides holding the same records.
        state.store = FileIdentity();
        state.serverDigest.clear();
        bool complete = true;
        std::string digest;
        try {
            if (mode != SyncMode::Pull)
                complete = PushSets(ctx, db, ReadServerIndex(*conn), summary);
            if (complete && mode != SyncMode::Push) {
                const ServerIndex after = ReadServerIndex(*conn);
                complete = PullRecords(ctx, db, after, summary);
                digest = after.digest;
            }
        } catch (const PgError& e) {
            // A cancel in the middle of a set: that set was rolled back, the ones before stay
            // done, as a cancel between sets leaves them; what was fetched is not kept.
            if (e.kind() != PgFailure::Cancelled) {
                WriteSyncState(target.statePath, state);
                throw;
            }
            complete = false;
            summary.received = 0;
            ctx.pendingState.clear();
        } catch (...) {
            WriteSyncState(target.statePath, state);
            throw;
        }
        summary.cancelled = !complete;
        FileIdentity storeNow = loaded.identity;
        if (summary.received > 0) {
            const storebackup::BackupResult backup =
                storebackup::MakeBackup(target.storePath, target.backup);
            if (!backup.ok) {
                WriteSyncState(target.statePath, state);
                summary.message = "データファイルのバックアップを作成できないため、受信したデータを"
                                  "保存しませんでした\n" +
                                  backup.Describe();
                return summary;
            }
            summary.backupPath = backup.path;
            const StoreOutcome saved = SaveOwnStore(db, target.storePath, loaded.identity);
            if (!saved.ok) {
                WriteSyncState(target.statePath, state);
                summary.message = cp932::toUtf8(saved.message);
                return summary;
            }
            summary.storeSaved = true;
            summary.changedAsidePath = saved.changedAsidePath;
            storeNow = saved.identity;
            // A store changed by another program meanwhile was kept aside and replaced: what it
            // held is not in this store, so the next sync looks at everything again.
            if (!saved.changedAsidePath.empty())
                ctx.inStep = false;
        }
        for (auto& [k, v] : ctx.pendingState)
            state.records[k] = v;
        if (mode == SyncMode::Sync && complete && ctx.inStep) {
            state.store = storeNow;
            state.serverDigest = digest;
        }
        if (!WriteSyncState(target.statePath, state)) {
            summary.message = "同期の記録を書き込めません\n" + target.statePath;
            return summary;
        }
        summary.ok = true;
    } catch (const PgError& e) {
        summary.ok = false;
        summary.failure = e.kind();
        summary.message = FailureMessage(target.db, e);
    } catch (const std::exception& e) {
        summary.ok = false;
        summary.failure = PgFailure::Other;
        summary.message = std::string("共有データベースとの同期に失敗しました\n") + e.what();
    }
    return summary;
}

} // namespace shareddb
