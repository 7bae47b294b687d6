// The fleet of a store in one call.
#include "fleet/fleetbuild.h"

#include <memory>

#include "workspace/cableregister.h"

namespace fleet {

void ReadRegister(ws::Workspace* workspace, FleetInputs& in)
{
    if (!workspace || !workspace->IsOpen())
        return;
    auto reg = std::make_shared<ws::CableRegister>(*workspace);
    in.registerEntries = reg->List();
    in.customerInterval = [reg](const std::string& customer) {
        return reg->CustomerInterval(customer);
    };
}

FleetBuildOutcome MakeFleet(const CCustomerDB& tree, ws::Workspace* workspace,
                            const AnalysisThresholds& t, const FleetSettings& settings, Day asOf,
                            const std::function<bool(std::size_t, std::size_t)>& progress)
{
    FleetBuildOutcome out;
    const bool open = workspace && workspace->IsOpen();
    SummaryCache cache;
    if (open)
        cache.Load(workspace->Db());
    SummaryLookup lookup;
    out.complete = CollectSummaries(tree, t, cache, open ? &workspace->Db() : nullptr, lookup,
                                    [&](std::size_t done, std::size_t total) {
                                        out.computed = total;
                                        return !progress || progress(done, total);
                                    });
    out.records = lookup.recordSlots.size();
    if (!out.complete)
        return out;
    FleetInputs in;
    in.tree = &tree;
    in.recordSlots = &lookup.recordSlots;
    in.summaries = &lookup.summaries;
    ReadRegister(workspace, in);
    out.plans = BuildFleet(in, settings, t, asOf);
    return out;
}

} // namespace fleet
