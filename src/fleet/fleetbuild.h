// The fleet of a store in one call: the summaries (cached in the workspace where there is
// one), the register, the plan and the score.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "fleet/fleetplan.h"
#include "workspace/workspace.h"

namespace fleet {

struct FleetBuildOutcome {
    std::vector<CablePlan> plans;
    std::size_t records = 0;  // records of the tree
    std::size_t computed = 0; // summaries computed now (not found in the cache)
    bool complete = true;     // false when progress stopped the work
};

// The register's entries and the customers' intervals of an open workspace (nothing without
// one).
void ReadRegister(ws::Workspace* workspace, FleetInputs& in);

// With an open workspace its cache is read, the missing summaries written to it and stale rows
// pruned, and its register used; without one (nullptr or closed) every summary is computed and
// no register is known.
FleetBuildOutcome MakeFleet(const CCustomerDB& tree, ws::Workspace* workspace,
                            const AnalysisThresholds& t, const FleetSettings& settings, Day asOf,
                            const std::function<bool(std::size_t, std::size_t)>& progress = {});

} // namespace fleet
