// The fleet built on a worker thread.
#include "fleet/fleetjob.h"

#include <map>
#include <memory>

#include "workspace/cableregister.h"

namespace fleet {

FleetJob::FleetJob(const CCustomerDB& tree, ws::Workspace* workspace, const AnalysisThresholds& t,
                   const FleetSettings& settings, Day asOf)
    : m_thresholds(t), m_settings(settings), m_asOf(asOf)
{
    for (int c = 0; c < tree.customers.Count(); ++c) {
        const CCustomer& cu = tree.customers.At(c);
        CCustomer& nc = m_names.customers.At(m_names.customers.FindOrInsert(cu.name));
        for (int k = 0; k < cu.cables.Count(); ++k) {
            const CCable& ca = cu.cables.At(k);
            CCable& nk = nc.cables.At(nc.cables.FindOrInsert(ca.name));
            for (int s = 0; s < ca.sets.Count(); ++s)
                nk.sets.FindOrInsert(ca.sets.At(s).name);
        }
    }
    SummaryCache cache;
    const bool open = workspace && workspace->IsOpen();
    if (open) {
        m_workspacePath = workspace->Path();
        cache.Load(workspace->Db());
        // The customers' intervals are read now: the worker has no register of its own.
        ws::CableRegister reg(*workspace);
        m_inputs.registerEntries = reg.List();
        auto intervals = std::make_shared<std::map<std::string, std::optional<int>>>();
        for (int c = 0; c < tree.customers.Count(); ++c)
            (*intervals)[tree.customers.At(c).name] =
                reg.CustomerInterval(tree.customers.At(c).name);
        m_inputs.customerInterval = [intervals](const std::string& customer) {
            const auto it = intervals->find(customer);
            return it == intervals->end() ? std::nullopt : it->second;
        };
    }
    m_lookup = LookUpSummaries(tree, t, cache);
    m_todo.reserve(m_lookup.missing.size());
    for (std::size_t i : m_lookup.missing)
        m_todo.push_back(RecordAt(tree, m_lookup.recordSlots[i]));
    // Stale rows only need pruning when the cache holds more than the tree.
    if (m_todo.empty() && cache.Size() <= m_lookup.recordSlots.size())
        m_workspacePath.clear();
}

FleetJob::~FleetJob()
{
    Stop();
}

void FleetJob::Start(std::function<void()> done)
{
    m_worker = std::thread([this, done = std::move(done)]() mutable { Run(std::move(done)); });
}

void FleetJob::Stop()
{
    m_stop = true;
    if (m_worker.joinable())
        m_worker.join();
}

void FleetJob::Run(std::function<void()> done)
{
    std::vector<const CMeasRecord*> records;
    records.reserve(m_todo.size());
    for (const CMeasRecord& r : m_todo)
        records.push_back(&r);
    std::vector<RecordSummary> results;
    m_complete = SummarizeAll(records, m_thresholds, results, &m_stop, &m_done);
    std::vector<std::pair<SummaryCache::Key, RecordSummary>> fresh;
    if (m_complete) {
        fresh.reserve(m_todo.size());
        for (std::size_t n = 0; n < m_todo.size(); ++n) {
            const std::size_t i = m_lookup.missing[n];
            m_lookup.summaries[i] = results[n];
            fresh.emplace_back(m_lookup.recordSlots[i].key, results[n]);
        }
    }
    if (m_complete && !m_workspacePath.empty()) {
        try {
            sqlite::Db db;
            db.Open(m_workspacePath, false);
            if (!fresh.empty())
                SummaryCache::Store(db, fresh);
            std::vector<SummaryCache::Key> live;
            live.reserve(m_lookup.recordSlots.size());
            for (const RecordSlot& s : m_lookup.recordSlots)
                live.push_back(s.key);
            SummaryCache::Prune(db, live);
        } catch (const std::exception& e) {
            // The fleet is complete all the same; the cache is filled another time.
            m_error = e.what();
        }
    }
    if (done)
        done();
}

FleetBuildOutcome FleetJob::Finish()
{
    if (m_worker.joinable())
        m_worker.join();
    FleetBuildOutcome out;
    out.records = m_lookup.recordSlots.size();
    out.computed = m_done;
    out.complete = m_complete;
    if (!m_complete)
        return out;
    m_inputs.tree = &m_names;
    m_inputs.recordSlots = &m_lookup.recordSlots;
    m_inputs.summaries = &m_lookup.summaries;
    out.plans = BuildFleet(m_inputs, m_settings, m_thresholds, m_asOf);
    return out;
}

} // namespace fleet
