// Fetching: records the store lacks are merged in with the import's name rules, whatever the
// state file remembers (a deletion here never travels, and a store restored from a backup gets
// back what it lost); records that changed elsewhere and not here replace the local copy.
#include <map>
#include <unordered_map>

#include "exchange/importmerge.h"
#include "store/recordcodec.h"
#include "shareddb/sync.h"

namespace shareddb {
using namespace recordcodec;
namespace {

// The sync merges without asking: the same names are the same customer, cable and set, and
// added measurements take the set's conditions, as an import answered with Yes throughout.
class AcceptAll : public CImportQuestions {
public:
    bool ConfirmMerge(const std::string&) override { return true; }
    bool ConfirmConditions(const std::string&) override { return true; }
};

// Where a local record sits, and the hash of its encoded form.
struct Where {
    SetPlace set;
    std::size_t index;
    uint64_t hash;
};

using LocalIndex = std::unordered_map<std::string, Where>; // by RecordPathKey

struct Fetch {
    int64_t id;
    int32_t revision;
    std::string pathKey;
    bool update; // replaces a local record (at `at`), otherwise added
    Where at{};
};

// What the pull has to fetch, grouped by the server's set id, and whether what it has seen
// so far leaves both sides holding the same records.
struct PullPlan {
    std::map<int64_t, std::vector<Fetch>> fetchesBySet;
    bool inStep = true;
};

// What the apply step has done so far: new records gathered in a tree of their own for one
// merge at the end, local records replaced in place.
struct Applied {
    CCustomerDB incoming;
    std::vector<Fetch> added;
    std::vector<Fetch> updated;
    bool inStep = true;
};

LocalIndex indexStore(const CCustomerDB& db)
{
    LocalIndex index;
    ForEachSet(db, [&](SetPlace at, const CCustomer& cu, const CCable& ca, const CMeasData& set) {
        for (std::size_t i = 0; i < set.RecordCount(); ++i) {
            const CMeasRecord& r = set.RecordAt(i);
            index.emplace(RecordPathKey(cu.name, ca.name, set.name, ContentKey(r)),
                          Where{at, i, Hash64(EncodeRecord(r))});
        }
    });
    return index;
}

CMeasData& setAt(CCustomerDB& db, const SetPlace& at)
{
    return db.customers.At(at.customer).cables.At(at.cable).sets.At(at.set);
}

// Classify: the decision for each record of the snapshot. Records in step are noted in the
// state at once; records changed here are left to the push; the rest are fetched.
PullPlan classify(SyncState& state, const LocalIndex& local, const ServerIndex& server)
{
    PullPlan plan;
    // Every local record must be in the snapshot for the two sides to hold the same records.
    for (const auto& [pathKey, w] : local)
        plan.inStep = plan.inStep && server.records.count(pathKey) > 0;

    for (const auto& [pathKey, rec] : server.records) {
        const auto base = state.records.find(pathKey);
        const SyncedRecord* known = base == state.records.end() ? nullptr : &base->second;
        auto here = local.find(pathKey);
        const RecordDecision d =
            DecideRecord(here == local.end() ? nullptr : &here->second.hash, &rec.state, known);
        if (d.action == RecordAction::InStep) {
            SyncedRecord now{rec.state.revision, here->second.hash, rec.state.hash};
            state.records[pathKey] = now;
            continue;
        }
        if (d.action == RecordAction::Push) {
            plan.inStep = false; // changed here after the push read it, or not pushed (pull only)
            continue;
        }
        Fetch f{rec.id, rec.state.revision, pathKey, here != local.end()};
        if (f.update)
            f.at = here->second;
        plan.fetchesBySet[rec.setId].push_back(std::move(f));
    }
    return plan;
}

std::string idArray(const std::vector<Fetch>& fetches)
{
    std::string a = "{";
    for (const Fetch& f : fetches)
        a += (a.size() > 1 ? "," : "") + std::to_string(f.id);
    return a + "}";
}

// The bodies of one set's fetches, by record id; the views point into the result.
struct FetchedBodies {
    PgResult result;
    std::unordered_map<int64_t, std::string_view> byId;
};

// Fetch: one query for the bodies of a set's records (those gone since the snapshot are
// missing from the answer).
FetchedBodies fetchBodies(PgConnection& c, const std::vector<Fetch>& fetches)
{
    FetchedBodies fetched;
    fetched.result = c.execParams("SELECT id, body FROM records WHERE id = ANY($1::bigint[])",
                                  {PgParam::text(idArray(fetches))});
    const PgResult& r = fetched.result;
    const int idCol = r.column("id"), bodyCol = r.column("body");
    for (int i = 0; i < r.rows(); ++i)
        fetched.byId[r.int8(i, idCol)] = r.raw(i, bodyCol);
    return fetched;
}

// Apply, per set: a changed record replaces the local one in place; a new one goes into the
// incoming tree under the server's names. A body that does not decode is skipped and listed.
void applySet(CCustomerDB& db, const ServerIndex& server, const ServerSetNames& s,
              const std::vector<Fetch>& fetches, const FetchedBodies& bodies, Applied& applied,
              SyncSummary& summary)
{
    CMeasData* target = nullptr;
    for (const Fetch& f : fetches) {
        auto b = bodies.byId.find(f.id);
        if (b == bodies.byId.end()) {
            applied.inStep = false; // gone from the server since the snapshot
            continue;
        }
        CMeasRecord record;
        try {
            record = DecodeRecord(b->second);
        } catch (const std::exception& e) {
            const ServerRecord& rec = server.records.at(f.pathKey);
            summary.skipped.push_back(
                {s.customer, s.cable, s.set, rec.dataNo, rec.testVoltage, rec.startTime, e.what()});
            applied.inStep = false;
            continue;
        }
        if (f.update) {
            setAt(db, f.at.set).RecordAt(f.at.index) = std::move(record);
            applied.updated.push_back(f);
            continue;
        }
        if (!target) {
            CCustomerDB& in = applied.incoming;
            CCustomer& cu = in.customers.At(in.customers.FindOrInsert(s.customer));
            CCable& ca = cu.cables.At(cu.cables.FindOrInsert(s.cable));
            target = &ca.sets.At(ca.sets.FindOrInsert(s.set));
            target->ShowSeikyoku = s.showSeikyoku;
            target->ShowJyakuten = s.showJyakuten;
        }
        target->InsertRecord(record);
        applied.added.push_back(f);
    }
}

// Apply, at the end: conditions made common again, the new records merged in as an import,
// and the state each fetched record will have once the store is saved.
void finishApply(SyncContext& ctx, CCustomerDB& db, const ServerIndex& server,
                 const LocalIndex& local, Applied& applied)
{
    // A set's records share the conditions of its first record, as the store's reader makes
    // them; updated records follow that rule too.
    for (const Fetch& f : applied.updated) {
        CMeasData& set = setAt(db, f.at.set);
        if (set.RecordCount() > 1)
            ApplyCondition(set, set.RecordAt(0).Condition);
    }
    if (!applied.added.empty()) {
        AcceptAll yes;
        ImportResult merged = MergeImport(db, ExchangeNode::root(), applied.incoming,
                                          ExchangeNode::Root, LevelTitles{}, yes);
        if (merged.status == ImportStatus::Done)
            db = std::move(merged.merged);
        else
            applied.inStep = false;
    }
    if (applied.added.empty() && applied.updated.empty())
        return;

    // What the store now holds of each fetched record, for the state once it is saved.
    const LocalIndex after = indexStore(db);
    auto note = [&](const Fetch& f) {
        auto w = after.find(f.pathKey);
        if (w != after.end())
            ctx.pendingState[f.pathKey] = {f.revision, w->second.hash,
                                           server.records.at(f.pathKey).state.hash};
        else
            applied.inStep = false;
    };
    for (const Fetch& f : applied.added)
        note(f);
    for (const Fetch& f : applied.updated)
        note(f);
    // Condition changes above may have touched records that were in step before.
    for (auto& [k, v] : ctx.state.records) {
        auto w = after.find(k);
        auto before = local.find(k);
        const bool wasInStep = before != local.end() && before->second.hash == v.stateHash;
        if (wasInStep && w != after.end() && w->second.hash != v.stateHash &&
            !ctx.pendingState.count(k))
            ctx.pendingState[k] = {v.revision, w->second.hash, v.serverHash};
    }
}

} // namespace

bool PullRecords(SyncContext& ctx, CCustomerDB& db, const ServerIndex& server, SyncSummary& summary)
{
    const LocalIndex local = indexStore(db);
    const PullPlan plan = classify(ctx.state, local, server);

    summary.setsTotal += static_cast<int>(plan.fetchesBySet.size());
    if (ctx.hooks.progress)
        ctx.hooks.progress(summary.setsDone, summary.setsTotal);

    Applied applied;
    bool complete = true;
    for (const auto& [setId, fetches] : plan.fetchesBySet) {
        if (ctx.hooks.cancelled && ctx.hooks.cancelled()) {
            complete = false;
            break;
        }
        const ServerSetNames& s = server.sets.at(setId);
        const FetchedBodies bodies = fetchBodies(ctx.conn, fetches);
        applySet(db, server, s, fetches, bodies, applied, summary);
        ++summary.setsDone;
        if (ctx.hooks.progress)
            ctx.hooks.progress(summary.setsDone, summary.setsTotal);
    }
    finishApply(ctx, db, server, local, applied);
    summary.received += static_cast<int>(applied.added.size() + applied.updated.size());
    ctx.inStep = complete && plan.inStep && applied.inStep;
    return complete;
}

} // namespace shareddb
