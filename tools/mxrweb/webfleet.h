// The retest plan of every cable of a tree as the web pages show it: next due date and status
// per cable, planned once per tree generation and day and shared by every request of it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "analysis/thresholds.h"
#include "fleet/fleetplan.h"
#include "fleet/plansettings.h"

namespace web {

struct Snapshot;

// The plan of each cable by its CP932 names (customer, cable).
using FleetIndex = std::map<std::pair<std::string, std::string>, fleet::CablePlan>;

class FleetPlans {
public:
    FleetPlans(fleet::FleetSettings settings, AnalysisThresholds thresholds);
    // The plans of the snapshot's tree as on today. The first request of a generation plans
    // it (without a cache: the viewer writes nothing) while the others of it wait.
    std::shared_ptr<const FleetIndex> For(const Snapshot& snapshot);

private:
    const fleet::FleetSettings m_settings;
    const AnalysisThresholds m_thresholds;
    std::mutex m_mutex;
    std::uint64_t m_generation = 0;
    fleet::Day m_day{};
    std::shared_ptr<const FleetIndex> m_index;
};

} // namespace web
