// The reflection summary of a maintenance cycle: findings about blockers,
// contradictions and trends of the cycle, appended to the store's reflection
// history (the newest 16 kept) and saved to "reflection_summaries.json".
//
// The cycle calls it last, with its report and the contradiction clusters of
// the store. No finding is made yet: the summary is empty and the history
// stays as it is.
#pragma once

#include <vector>

#include "base/env.h"
#include "base/guarded.h"
#include "cognitive/persistence_target.h"
#include "cognitive/reflection_summary.h"
#include "maintenance/maintenance_report.h"
#include "model/record_map.h"
#include "reports/belief_instability.h"

namespace vesk {

// `records` is read under its read lock. A failed save is dropped.
ReflectionSummary append_reflection_summary(const MaintenanceReport& report,
                                            const std::vector<ContradictionCluster>& clusters,
                                            const Guarded<RecordMap>& records,
                                            Guarded<std::vector<ReflectionSummary>>& history,
                                            const PersistenceTarget& target, Env& env);

}  // namespace vesk
