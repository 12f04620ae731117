// The trend snapshot of a maintenance cycle: a few figures of the cycle
// appended to the store's trend history (the newest 32 kept), the history
// saved to "maintenance_trends.json", and the trend summary over it.
//
// The cycle calls it once its report is complete but for the trend summary
// and the reflection. The history's write lock is held from the append
// through the save and the summary.
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

// The snapshot of one cycle: the rates are 0 when their divisor is 0, and
// correction_events is cumulative_corrections less the last snapshot's,
// 0 with no last snapshot or when that would be negative.
MaintenanceTrendSnapshot trend_snapshot_of(const MaintenanceReport& report, uint64_t cumulative_corrections,
                                           const MaintenanceTrendSnapshot* last);

// Appends the cycle's snapshot, keeps the newest 32, saves the history and
// returns the summary over it.
// `cumulative_corrections`: the number of correction entries of the audit
// journal. A failed save is dropped.
MaintenanceTrendSummary append_trend_snapshot(const MaintenanceReport& report, uint64_t cumulative_corrections,
                                              Guarded<std::vector<MaintenanceTrendSnapshot>>& history,
                                              const PersistenceTarget& target, Env& env);

}  // namespace vesk
