// Planning a snapshot's fleet once for every request of it.
#include "webfleet.h"

#include "datasource.h"
#include "fleet/fleetbuild.h"

namespace web {

FleetPlans::FleetPlans(fleet::FleetSettings settings, AnalysisThresholds thresholds)
    : m_settings(std::move(settings)), m_thresholds(thresholds)
{
}

std::shared_ptr<const FleetIndex> FleetPlans::For(const Snapshot& snapshot)
{
    const fleet::Day today = fleet::Today();
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_index && m_generation == snapshot.generation && m_day == today)
        return m_index;
    auto index = std::make_shared<FleetIndex>();
    for (fleet::CablePlan& plan :
         fleet::MakeFleet(snapshot.tree, nullptr, m_thresholds, m_settings, today).plans) {
        auto key = std::make_pair(plan.customer, plan.cable);
        index->emplace(std::move(key), std::move(plan));
    }
    m_index = std::move(index);
    m_generation = snapshot.generation;
    m_day = today;
    return m_index;
}

} // namespace web
