// Fetching: records the store lacks are merged in with the import's name rules, whatever the
// state file remembers (a deletion here never travels, and a store restored from a backup gets
// back what it lost); records that changed elsewhere and not here replace the local copy.
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

bool PullRecords(SyncContext& ctx, CCustomerDB& db, const ServerIndex& server,
                 SyncSummary& summary)
{
    PgConnection& c = ctx.conn;
    const std::unordered_map<std::string, Where> local = indexStore(db);
    // Every local record must be in the snapshot for the two sides to hold the same records.
    bool inStep = true;
    for (const auto& [pathKey, w] : local)
        inStep = inStep && server.records.count(pathKey) > 0;

    std::map<int64_t, std::vector<Fetch>> fetchesBySet; // by the server's set id
    for (const auto& [pathKey, rec] : server.records) {
        const auto base = ctx.state.records.find(pathKey);
        const SyncedRecord* known = base == ctx.state.records.end() ? nullptr : &base->second;
        auto here = local.find(pathKey);
        const RecordDecision d = DecideRecord(here == local.end() ? nullptr : &here->second.hash,
                                              &rec.state, known);
        if (d.action == RecordAction::InStep) {
            SyncedRecord now{rec.state.revision, here->second.hash, rec.state.hash};
            ctx.state.records[pathKey] = now;
            continue;
        }
        if (d.action == RecordAction::Push) {
            inStep = false; // changed here after the push read it, or not pushed (pull only)
            continue;
        }
        Fetch f{rec.id, rec.state.revision, pathKey, here != local.end()};
        if (f.update)
            f.at = here->second;
        fetchesBySet[rec.setId].push_back(std::move(f));
    }

    summary.setsTotal += static_cast<int>(fetchesBySet.size());
    if (ctx.hooks.progress)
        ctx.hooks.progress(summary.setsDone, summary.setsTotal);

    CCustomerDB incoming;
    std::vector<std::pair<std::string, Fetch>> added; // path key, fetch
    std::vector<Fetch> updated;
    bool complete = true;
    for (auto& [setId, fetches] : fetchesBySet) {
        if (ctx.hooks.cancelled && ctx.hooks.cancelled()) {
            complete = false;
            break;
        }
        const ServerSetNames& s = server.sets.at(setId);
        PgResult bodies = c.execParams("SELECT id, body FROM records WHERE id = ANY($1::bigint[])",
                                       {PgParam::text(idArray(fetches))});
        std::unordered_map<int64_t, std::string_view> byId;
        for (int i = 0; i < bodies.rows(); ++i)
            byId[bodies.int8(i, 0)] = bodies.raw(i, 1);
        CMeasData* target = nullptr;
        for (const Fetch& f : fetches) {
            auto b = byId.find(f.id);
            if (b == byId.end()) {
                inStep = false; // gone from the server since the snapshot
                continue;
            }
            CMeasRecord record;
            try {
                record = DecodeRecord(b->second);
            } catch (const std::exception& e) {
                const ServerRecord& rec = server.records.at(f.pathKey);
                summary.skipped.push_back({s.customer, s.cable, s.set, rec.dataNo,
                                           rec.testVoltage, rec.startTime, e.what()});
                inStep = false;
                continue;
            }
            if (f.update) {
                CMeasData& set =
                    db.customers.At(f.at.customer).cables.At(f.at.cable).sets.At(f.at.set);
                set.RecordAt(f.at.index) = std::move(record);
                updated.push_back(f);
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
            added.emplace_back(f.pathKey, f);
        }
        ++summary.setsDone;
        if (ctx.hooks.progress)
            ctx.hooks.progress(summary.setsDone, summary.setsTotal);
    }

    // A set's records share the conditions of its first record, as the store's reader makes
    // them; updated records follow that rule too.
    for (const Fetch& f : updated) {
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
        else
            inStep = false;
    }
    summary.received += static_cast<int>(added.size() + updated.size());

    // What the store now holds of each fetched record, for the state once it is saved.
    if (!added.empty() || !updated.empty()) {
        const std::unordered_map<std::string, Where> after = indexStore(db);
        auto note = [&](const Fetch& f) {
            auto w = after.find(f.pathKey);
            if (w != after.end())
                ctx.pendingState[f.pathKey] = {f.revision, w->second.hash,
                                               server.records.at(f.pathKey).state.hash};
            else
                inStep = false;
        };
        for (const auto& [k, f] : added)
            note(f);
        for (const Fetch& f : updated)
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
    ctx.inStep = complete && inStep;
    return complete;
}

} // namespace shareddb
