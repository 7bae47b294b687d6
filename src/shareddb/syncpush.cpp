// Sending: every data set with a record that the database lacks or that changed here goes in
// one transaction: the set's row is locked, changed records are updated (the server keeps the
// old revision in its history), new ones are sent with one binary COPY.

#include <unordered_map>

#include "model/cp932text.h"
#include "store/recordcodec.h"
#include "shareddb/sync.h"

namespace shareddb {
using namespace recordcodec;
namespace {

struct LocalRecord {
    const CMeasRecord* record;
    std::string key;     // content key
    std::string pathKey; // RecordPathKey
    std::string body;
    uint64_t hash;
};

struct ServerRow {
    int64_t id;
    int32_t revision;
    uint64_t hash;
    std::string workstation;
};

int64_t upsertName(PgConnection& c, const std::string& table, const std::string& parentColumn,
                   int64_t parent, const std::string& name, const CMeasData* set)
{
    std::vector<PgParam> p{PgParam::bin(name), PgParam::bin(NameKey(name)),
                           PgParam::text(cp932::toUtf8(name))};
    std::string cols = "name, name_key, name_text";
    std::string vals = "$1, $2, $3";
    std::string where = "name_key = $1";
    if (!parentColumn.empty()) {
        p.push_back(PgParam::int8(parent));
        cols += ", " + parentColumn;
        vals += ", $4";
        where += " AND " + parentColumn + " = $2";
    }
    if (set) {
        p.push_back(PgParam::int4(set->ShowSeikyoku));
        p.push_back(PgParam::int4(set->ShowJyakuten));
        cols += ", show_seikyoku, show_jyakuten";
        vals += ", $5, $6";
    }
    c.execParams(
        "INSERT INTO " + table + " (" + cols + ") VALUES (" + vals + ") ON CONFLICT DO NOTHING", p);
    std::vector<PgParam> key{p[1]};
    if (!parentColumn.empty())
        key.push_back(p[3]);
    // The set's row stays locked until the transaction ends, so two workstations sending the
    // same set take turns and the COPY below never meets a record sent meanwhile.
    PgResult r = c.execParams(
        "SELECT id FROM " + table + " WHERE " + where + (set ? " FOR UPDATE" : ""), key);
    return r.int8(0, 0);
}

void copyRecord(PgBinaryCopy& copy, int64_t setId, const LocalRecord& l, const std::string& ws)
{
    const CMeasRecord& r = *l.record;
    copy.beginRow(14);
    copy.fieldInt8(setId);
    copy.field(l.key);
    copy.fieldInt4(r.StartTime.status);
    copy.fieldFloat8(r.StartTime.date);
    copy.fieldFloat8(r.TestVoltage);
    copy.fieldInt4(r.DataNo);
    copy.fieldInt4(r.UsedPoints);
    copy.fieldFloat8(r.LastCurrent);
    copy.fieldFloat8(r.SeikyokuRatio);
    copy.fieldFloat8(r.JyakutenRatio);
    copy.field(l.body);
    copy.fieldInt8(static_cast<int64_t>(l.hash));
    copy.fieldInt4(1);
    copy.field(ws);
}

int32_t updateRecord(PgConnection& c, const ServerRow& row, const LocalRecord& l,
                     const std::string& ws)
{
    // The server's trigger keeps the replaced revision in record_history.
    const CMeasRecord& r = *l.record;
    PgResult res = c.execParams(
        "UPDATE records SET body = $2, state_hash = $3, revision = revision + 1, "
        "workstation = $4, written_at = now(), change_seq = nextval('mxr_change_seq'), "
        "used_points = $5, last_current = $6, seikyoku_ratio = $7, jyakuten_ratio = $8 "
        "WHERE id = $1 RETURNING revision",
        {PgParam::int8(row.id), PgParam::bin(l.body), PgParam::int8(static_cast<int64_t>(l.hash)),
         PgParam::text(ws), PgParam::int4(r.UsedPoints), PgParam::float8(r.LastCurrent),
         PgParam::float8(r.SeikyokuRatio), PgParam::float8(r.JyakutenRatio)});
    return res.int4(0, 0);
}

const SyncedRecord* baseOf(const SyncState& state, const std::string& pathKey)
{
    auto it = state.records.find(pathKey);
    return it == state.records.end() ? nullptr : &it->second;
}

// The records of a set that the snapshot lacks or that changed here; duplicates of one
// measurement within the set (an import taken twice) are sent once.
std::vector<LocalRecord> pendingRecords(const SyncState& state, const ServerIndex& server,
                                        const CCustomer& cu, const CCable& ca, const CMeasData& set)
{
    std::vector<LocalRecord> pending;
    std::unordered_map<std::string, bool> seen;
    for (const CMeasRecord& r : set.Records()) {
        LocalRecord l{&r, ContentKey(r), {}, {}, 0};
        if (!seen.emplace(l.key, true).second)
            continue;
        l.pathKey = RecordPathKey(cu.name, ca.name, set.name, l.key);
        l.body = EncodeRecord(r);
        l.hash = Hash64(l.body);
        auto s = server.records.find(l.pathKey);
        const RecordDecision d =
            DecideRecord(&l.hash, s == server.records.end() ? nullptr : &s->second.state,
                         baseOf(state, l.pathKey));
        if (d.action == RecordAction::Push)
            pending.push_back(std::move(l));
    }
    return pending;
}

void pushSet(SyncContext& ctx, const CCustomer& cu, const CCable& ca, const CMeasData& set,
             std::vector<LocalRecord>& pending, int setIndex, SyncSummary& summary)
{
    PgConnection& c = ctx.conn;
    const std::string ws = cp932::toUtf8(ctx.workstation);
    std::unordered_map<std::string, SyncedRecord> done;
    int sent = 0;
    std::vector<SyncConflict> conflicts;

    PgTransaction t(c);
    const int64_t customerId = upsertName(c, "customers", "", 0, cu.name, nullptr);
    const int64_t cableId = upsertName(c, "cables", "customer_id", customerId, ca.name, nullptr);
    const int64_t setId = upsertName(c, "sets", "cable_id", cableId, set.name, &set);

    // The set's rows as they are now, under its lock: another workstation may have written
    // them since the snapshot.
    std::unordered_map<std::string, ServerRow> rows;
    PgResult r = c.execParams("SELECT content_key, id, revision, state_hash, workstation "
                              "FROM records WHERE set_id = $1",
                              {PgParam::int8(setId)});
    const int keyCol = r.column("content_key"), idCol = r.column("id"),
              revisionCol = r.column("revision"), hashCol = r.column("state_hash"),
              workstationCol = r.column("workstation");
    for (int i = 0; i < r.rows(); ++i)
        rows[r.bytes(i, keyCol)] = {r.int8(i, idCol), r.int4(i, revisionCol),
                                    static_cast<uint64_t>(r.int8(i, hashCol)),
                                    r.bytes(i, workstationCol)};

    PgBinaryCopy copy;
    int copied = 0;
    for (const LocalRecord& l : pending) {
        auto row = rows.find(l.key);
        if (row == rows.end()) {
            copyRecord(copy, setId, l, ws);
            ++copied;
            done[l.pathKey] = {1, l.hash, l.hash};
            continue;
        }
        const ServerRow& s = row->second;
        const ServerRecordState now{s.revision, s.hash};
        const RecordDecision d = DecideRecord(&l.hash, &now, baseOf(ctx.state, l.pathKey));
        if (d.action == RecordAction::InStep)
            done[l.pathKey] = {s.revision, l.hash, s.hash};
        if (d.action != RecordAction::Push)
            continue; // changed elsewhere meanwhile: the pull takes it
        const int32_t revision = updateRecord(c, s, l, ws);
        if (d.conflict) {
            const CMeasRecord& rec = *l.record;
            conflicts.push_back({cu.name, ca.name, set.name, rec.DataNo, rec.TestVoltage,
                                 rec.StartTime, s.revision, s.workstation, revision});
        }
        done[l.pathKey] = {revision, l.hash, l.hash};
        ++sent;
    }
    if (copied > 0) {
        copy.finish();
        c.beginCopy("COPY records (set_id, content_key, start_status, start_date, test_voltage, "
                    "data_no, used_points, last_current, seikyoku_ratio, jyakuten_ratio, body, "
                    "state_hash, revision, workstation) FROM STDIN (FORMAT binary)");
        c.putCopyData(copy.data());
        c.endCopy();
        sent += copied;
    }
    if (ctx.hooks.beforeCommit)
        ctx.hooks.beforeCommit(c, setIndex);
    t.commit();

    // Only what the server holds now is recorded as synchronised.
    for (auto& [k, v] : done)
        ctx.state.records[k] = v;
    summary.sent += sent;
    summary.conflicts.insert(summary.conflicts.end(), conflicts.begin(), conflicts.end());
}

} // namespace

bool PushSets(SyncContext& ctx, const CCustomerDB& db, const ServerIndex& server,
              SyncSummary& summary)
{
    struct Work {
        const CCustomer* cu;
        const CCable* ca;
        const CMeasData* set;
        std::vector<LocalRecord> pending;
    };
    std::vector<Work> work;
    ForEachSet(db, [&](SetPlace, const CCustomer& cu, const CCable& ca, const CMeasData& set) {
        std::vector<LocalRecord> pending = pendingRecords(ctx.state, server, cu, ca, set);
        if (!pending.empty())
            work.push_back({&cu, &ca, &set, std::move(pending)});
    });
    summary.setsTotal = static_cast<int>(work.size());
    summary.setsDone = 0;
    if (ctx.hooks.progress)
        ctx.hooks.progress(summary.setsDone, summary.setsTotal);
    for (std::size_t i = 0; i < work.size(); ++i) {
        if (ctx.hooks.cancelled && ctx.hooks.cancelled())
            return false;
        pushSet(ctx, *work[i].cu, *work[i].ca, *work[i].set, work[i].pending, static_cast<int>(i),
                summary);
        work[i].pending.clear();
        ++summary.setsDone;
        if (ctx.hooks.progress)
            ctx.hooks.progress(summary.setsDone, summary.setsTotal);
    }
    return true;
}

} // namespace shareddb
