// The trend snapshot of a maintenance cycle: a few figures of the cycle
// appended to the store's trend history (the newest 32 kept), the history
// saved to "maintenance_trends.json", and the trend summary over it.
//
// The cycle calls it once its report is complete but for the trend summary
// and the reflection. No snapshot is appended yet: the summary is the one of
// the history as it stands.
#pragma once

#include <cstdint>
#include <vector>

#include "base/env.h"
#include "base/guarded.h"
#include "cognitive/maintenance_trend_snapshot.h"
#include "cognitive/persistence_target.h"
#include "maintenance/maintenance_report.h"
#include "maintenance/maintenance_trend_summary.h"

namespace vesk {

// `cumulative_corrections`: the number of correction entries of the audit
// journal. A failed save is dropped.
MaintenanceTrendSummary append_trend_snapshot(const MaintenanceReport& report, uint64_t cumulative_corrections,
                                              Guarded<std::vector<MaintenanceTrendSnapshot>>& history,
                                              const PersistenceTarget& target, Env& env);

}  // namespace vesk
