// The record decision and the server's snapshot.
#include "shareddb/syncplan.h"

#include "store/recordcodec.h"

namespace shareddb {
using namespace recordcodec;
namespace {

constexpr const char* kDigestSql =
    "SELECT count(*)::text || '-' || coalesce(sum(hashtextextended(id::text || ',' || "
    "revision::text || ',' || state_hash::text, 0)), 0)::text FROM records";

} // namespace

RecordDecision DecideRecord(const uint64_t* localHash, const ServerRecordState* server,
                            const SyncedRecord* base)
{
    if (!server)
        return {localHash ? RecordAction::Push : RecordAction::InStep, false};
    if (!localHash)
        return {RecordAction::Pull, false};
    if (*localHash == server->hash)
        return {RecordAction::InStep, false};
    if (!base)
        return {RecordAction::Push, true};
    if (*localHash == base->stateHash) {
        if (server->hash == base->serverHash)
            return {RecordAction::InStep, false}; // the local copy took its set's conditions
        if (server->revision < base->revision)
            return {RecordAction::Push, false};
        return {RecordAction::Pull, false};
    }
    return {RecordAction::Push, server->hash != base->serverHash};
}

std::string ServerDigest(PgConnection& c)
{
    return std::string(c.exec(kDigestSql).raw(0, 0));
}

ServerIndex ReadServerIndex(PgConnection& c)
{
    ServerIndex index;
    PgTransaction t(c);
    c.exec("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY");
    PgResult sets = c.execParams(
        "SELECT s.id, cu.name, ca.name, s.name, s.show_seikyoku, s.show_jyakuten FROM sets s "
        "JOIN cables ca ON ca.id = s.cable_id JOIN customers cu ON cu.id = ca.customer_id",
        {});
    for (int i = 0; i < sets.rows(); ++i)
        index.sets[sets.int8(i, 0)] = {sets.bytes(i, 1), sets.bytes(i, 2), sets.bytes(i, 3),
                                       sets.int4(i, 4), sets.int4(i, 5)};
    PgResult r = c.execParams("SELECT id, set_id, content_key, revision, state_hash, data_no, "
                              "test_voltage, start_status, start_date FROM records",
                              {});
    index.records.reserve(static_cast<std::size_t>(r.rows()));
    for (int i = 0; i < r.rows(); ++i) {
        const auto set = index.sets.find(r.int8(i, 1));
        if (set == index.sets.end())
            continue; // cannot happen: the snapshot holds the set of every record
        ServerRecord rec;
        rec.id = r.int8(i, 0);
        rec.setId = r.int8(i, 1);
        rec.state = {r.int4(i, 3), static_cast<uint64_t>(r.int8(i, 4))};
        rec.dataNo = r.int4(i, 5);
        rec.testVoltage = r.float8(i, 6);
        rec.startTime = {r.float8(i, 8), static_cast<OleDateTime::Status>(r.int4(i, 7))};
        index.records.emplace(RecordPathKey(set->second.customer, set->second.cable,
                                            set->second.set, r.raw(i, 2)),
                              rec);
    }
    index.digest = ServerDigest(c);
    t.commit();
    return index;
}

} // namespace shareddb
