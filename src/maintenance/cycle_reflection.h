// The reflection summary of a maintenance cycle: findings about overdue
// tasks, contradictions and the maintenance trend, appended to the store's
// reflection history (the newest 16 kept) and saved to
// "reflection_summaries.json".
//
// Findings, at most six, highest score first:
//   - "repeated_blocker": a record tagged with the task tag whose "status" is
//     "active" and whose "due_date" is an RFC 3339 date-time falling on a UTC
//     day on or before today (a plain date gives none); the two best kept;
//   - "unresolved_contradiction": a cluster with an unresolved belief or a
//     positive conflict mass; the two best kept;
//   - "trend_tension": at most one, when the trend worsens or its averages of
//     belief churn or policy suppression are high.
// The sort is stable, so equal scores keep the order tasks, contradictions,
// trend; a NaN score (a NaN salience or strength) sorts after every number,
// and a NaN figure reads "NaN" in the texts.
#pragma once

#include <string_view>
#include <vector>

#include "base/env.h"
#include "base/guarded.h"
#include "base/utc_instant.h"
#include "cognitive/persistence_target.h"
#include "cognitive/reflection_summary.h"
#include "maintenance/maintenance_report.h"
#include "model/record_map.h"
#include "reports/belief_instability.h"

namespace vesk {

// The summary alone; `report` gives the timestamp, the dominant phase and
// the trend summary, `now` today's UTC date. Walks `records` once.
ReflectionSummary build_reflection_summary(const MaintenanceReport& report,
                                           const std::vector<ContradictionCluster>& clusters,
                                           const RecordMap& records, std::string_view task_tag, UtcInstant now);

// The summary of the cycle, built with `records` under its read lock, then
// appended to `history` under its write lock and the history saved. A failed
// save is dropped.
ReflectionSummary append_reflection_summary(const MaintenanceReport& report,
                                            const std::vector<ContradictionCluster>& clusters,
                                            const Guarded<RecordMap>& records, std::string_view task_tag,
                                            Guarded<std::vector<ReflectionSummary>>& history,
                                            const PersistenceTarget& target, Env& env);

}  // namespace vesk
