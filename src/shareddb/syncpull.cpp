// Fetching: records the store lacks are merged in with the import's name rules; records that
// changed elsewhere and not here replace the local copy. A record the state knows but the
// store lacks was deleted here and stays deleted.
#include <map>
#include <unordered_map>

#include "exchange/importmerge.h"
#include "shareddb/recordcodec.h"
#include "shareddb/sync.h"

namespace shareddb {
namespace {

// The sync merges without asking: the same names are the same customer, cable and set, and
// added measurements take the set's conditions, as an import answered with Yes throughout.
class AcceptAll : public CImportQuestions {
public:
    bool ConfirmMerge(const std::string&) override { return true; }
    bool ConfirmConditions(const std::string&) override { return true; }
};

struct Where {
    int customer, cable, set;
    std::size_t index;
    uint64_t hash;
};

struct Fetch {
    int64_t id;
    int32_t revision;
    std::string pathKey;
    bool update; // replaces a local record (at `at`), otherwise added
    Where at{};
};

struct ServerSet {
    std::string customer, cable, set;
    int32_t showSeikyoku = 1, showJyakuten = 1;
    std::vector<Fetch> fetches;
};

std::unordered_map<std::string, Where> indexStore(const CCustomerDB& db)
{
    std::unordered_map<std::string, Where> index;
    for (int c = 0; c < db.customers.Count(); ++c) {
        const CCustomer& cu = db.customers.At(c);
        for (int k = 0; k < cu.cables.Count(); ++k) {
            const CCable& ca = cu.cables.At(k);
            for (int s = 0; s < ca.sets.Count(); ++s) {
                const CMeasData& set = ca.sets.At(s);
                for (std::size_t i = 0; i < set.RecordCount(); ++i) {
                    const CMeasRecord& r = set.RecordAt(i);
                    index.emplace(RecordPathKey(cu.name, ca.name, set.name, ContentKey(r)),
                                  Where{c, k, s, i, Hash64(EncodeRecord(r))});
                }
            }
        }
    }
    return index;
}

std::string idArray(const std::vector<Fetch>& fetches)
{
    std::string a = "{";
    for (const Fetch& f : fetches)
        a += (a.size() > 1 ? "," : "") + std::to_string(f.id);
    return a + "}";
}

} // namespace

bool PullRecords(SyncContext& ctx, CCustomerDB& db, SyncSummary& summary)
{
    PgConnection& c = ctx.conn;
    ctx.changeSeqBeforePull = MaxChangeSeq(c);
    PgResult meta = c.execParams(
        "SELECT cu.name, ca.name, s.name, s.show_seikyoku, s.show_jyakuten, s.id, r.id, "
        "r.content_key, r.revision, r.state_hash FROM records r JOIN sets s ON s.id = r.set_id "
        "JOIN cables ca ON ca.id = s.cable_id JOIN customers cu ON cu.id = ca.customer_id "
        "ORDER BY s.id, r.id",
        {});

    const std::unordered_map<std::string, Where> local = indexStore(db);
    std::map<int64_t, ServerSet> sets; // by the server's set id
    for (int i = 0; i < meta.rows(); ++i) {
        const std::string pathKey =
            RecordPathKey(meta.raw(i, 0), meta.raw(i, 1), meta.raw(i, 2), meta.raw(i, 7));
        const int32_t revision = meta.int4(i, 8);
        const auto serverHash = static_cast<uint64_t>(meta.int8(i, 9));
        const auto base = ctx.state.records.find(pathKey);
        const bool known = base != ctx.state.records.end();
        Fetch f{meta.int8(i, 6), revision, pathKey, false};
        auto here = local.find(pathKey);
        if (here != local.end()) {
            if (here->second.hash == serverHash) {
                ctx.state.records[pathKey] = {revision, serverHash};
                continue;
            }
            // Changed elsewhere and not here: take it. Changed here: the push sends it.
            if (!known || base->second.stateHash != here->second.hash ||
                base->second.revision >= revision)
                continue;
            f.update = true;
            f.at = here->second;
        } else if (known) {
            continue; // deleted here; deletions stay local
        }
        ServerSet& s = sets[meta.int8(i, 5)];
        if (s.fetches.empty()) {
            s.customer = meta.bytes(i, 0);
            s.cable = meta.bytes(i, 1);
            s.set = meta.bytes(i, 2);
            s.showSeikyoku = meta.int4(i, 3);
            s.showJyakuten = meta.int4(i, 4);
        }
        s.fetches.push_back(std::move(f));
    }

    summary.setsTotal += static_cast<int>(sets.size());
    if (ctx.hooks.progress)
        ctx.hooks.progress(summary.setsDone, summary.setsTotal);

    CCustomerDB incoming;
    std::vector<std::pair<std::string, int32_t>> added; // path key, revision
    std::vector<std::pair<Fetch, int>> updated;
    bool complete = true;
    for (auto& [setId, s] : sets) {
        if (ctx.hooks.cancelled && ctx.hooks.cancelled()) {
            complete = false;
            break;
        }
        PgResult bodies = c.execParams("SELECT id, body FROM records WHERE id = ANY($1::bigint[])",
                                       {PgParam::text(idArray(s.fetches))});
        std::unordered_map<int64_t, std::string_view> byId;
        for (int i = 0; i < bodies.rows(); ++i)
            byId[bodies.int8(i, 0)] = bodies.raw(i, 1);
        CMeasData* target = nullptr;
        for (const Fetch& f : s.fetches) {
            auto b = byId.find(f.id);
            if (b == byId.end())
                continue;
            CMeasRecord record = DecodeRecord(b->second);
            if (f.update) {
                CMeasData& set =
                    db.customers.At(f.at.customer).cables.At(f.at.cable).sets.At(f.at.set);
                set.RecordAt(f.at.index) = std::move(record);
                updated.emplace_back(f, 0);
                continue;
            }
            if (!target) {
                CCustomer& cu = incoming.customers.At(incoming.customers.FindOrInsert(s.customer));
                CCable& ca = cu.cables.At(cu.cables.FindOrInsert(s.cable));
                target = &ca.sets.At(ca.sets.FindOrInsert(s.set));
                target->ShowSeikyoku = s.showSeikyoku;
                target->ShowJyakuten = s.showJyakuten;
            }
            target->InsertRecord(record);
            added.emplace_back(f.pathKey, f.revision);
        }
        ++summary.setsDone;
        if (ctx.hooks.progress)
            ctx.hooks.progress(summary.setsDone, summary.setsTotal);
    }

    // A set's records share the conditions of its first record, as the store's reader makes
    // them; updated records follow that rule too.
    for (auto& [f, unused] : updated) {
        CMeasData& set = db.customers.At(f.at.customer).cables.At(f.at.cable).sets.At(f.at.set);
        if (set.RecordCount() > 1)
            ApplyCondition(set, set.RecordAt(0).Condition);
    }
    if (!added.empty()) {
        AcceptAll yes;
        ImportResult merged =
            MergeImport(db, ExchangeNode::root(), incoming, ExchangeNode::Root, LevelTitles{}, yes);
        if (merged.status == ImportStatus::Done)
            db = std::move(merged.merged);
    }
    summary.received += static_cast<int>(added.size() + updated.size());

    // What the store now holds of each fetched record, for the state once it is saved.
    if (!added.empty() || !updated.empty()) {
        const std::unordered_map<std::string, Where> after = indexStore(db);
        auto note = [&](const std::string& pathKey, int32_t revision) {
            auto w = after.find(pathKey);
            if (w != after.end())
                ctx.pendingState[pathKey] = {revision, w->second.hash};
        };
        for (const auto& [k, rev] : added)
            note(k, rev);
        for (const auto& [f, unused] : updated)
            note(f.pathKey, f.revision);
        // Condition changes above may have touched records that were in step before.
        for (auto& [k, v] : ctx.state.records) {
            auto w = after.find(k);
            auto before = local.find(k);
            const bool inStep = before != local.end() && before->second.hash == v.stateHash;
            if (inStep && w != after.end() && w->second.hash != v.stateHash &&
                !ctx.pendingState.count(k))
                ctx.pendingState[k] = {v.revision, w->second.hash};
        }
    }
    return complete;
}

} // namespace shareddb
