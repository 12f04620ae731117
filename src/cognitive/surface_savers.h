// The savers of the persisted surfaces. Each writes its whole file through
// the common save path of its kind (layer_file_save.h, history_file_save.h)
// and returns the failure, the file then unchanged; what a caller does with a
// failure is the caller's business (the maintenance cycle drops it, a purge
// stops at it).
//
//   save_maintenance_trends     maintenance_trends.json    the trend history
//   save_reflection_summaries   reflection_summaries.json  the summary history
//
// Neither trims: the caller passes the history it keeps.
#pragma once

#include <vector>

#include "base/env.h"
#include "base/status.h"
#include "cognitive/maintenance_trend_snapshot.h"
#include "cognitive/reflection_summary.h"
#include "storage/crypto.h"

namespace vesk {

Status save_maintenance_trends(const fs::path& dir, const SecretKey* key,
                               const std::vector<MaintenanceTrendSnapshot>& history, Env& env);

Status save_reflection_summaries(const fs::path& dir, const SecretKey* key,
                                 const std::vector<ReflectionSummary>& summaries, Env& env);

}  // namespace vesk
