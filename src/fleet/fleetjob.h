// The fleet built in the background: what needs the tree is taken on the calling thread (keys,
// the cache's hits, copies of the records the cache lacks, the names of the tree, the
// register), and a worker thread with its own SQLite connection computes the missing summaries
// and files them in the cache. The tree may change or go once the job is made.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <thread>
#include <vector>

#include "fleet/fleetbuild.h"

namespace fleet {

class FleetJob {
public:
    // workspace may be nullptr or closed: nothing is cached then.
    FleetJob(const CCustomerDB& tree, ws::Workspace* workspace, const AnalysisThresholds& t,
             const FleetSettings& settings, Day asOf);
    ~FleetJob();
    FleetJob(const FleetJob&) = delete;
    FleetJob& operator=(const FleetJob&) = delete;

    // Summaries to compute, and how many are done so far (any thread).
    std::size_t Total() const { return m_todo.size(); }
    std::size_t Done() const { return m_done.load(); }

    // Starts the worker; done() runs on the worker thread when it ends (stopped or not). With
    // nothing to compute the worker ends at once.
    void Start(std::function<void()> done);
    // Asks the worker to stop and waits for it.
    void Stop();
    // Waits for the worker and builds the fleet (incomplete when stopped).
    FleetBuildOutcome Finish();

private:
    void Run(std::function<void()> done);

    CCustomerDB m_names; // the tree's customers, cables and sets without records
    AnalysisThresholds m_thresholds;
    FleetSettings m_settings;
    Day m_asOf;
    std::string m_workspacePath;
    FleetInputs m_inputs;
    SummaryLookup m_lookup;
    std::vector<CMeasRecord> m_todo; // parallel to m_lookup.missing
    std::atomic<std::size_t> m_done{0};
    std::atomic<bool> m_stop{false};
    bool m_complete = false;
    std::string m_error;
    std::thread m_worker;
};

} // namespace fleet
