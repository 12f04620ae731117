#include "cognitive/surface_savers.h"

#include "cognitive/history_file_save.h"
#include "cognitive/maintenance_trends_format.h"
#include "cognitive/reflection_summaries_format.h"

namespace vesk {

Status save_maintenance_trends(const fs::path& dir, const SecretKey* key,
                               const std::vector<MaintenanceTrendSnapshot>& history, Env& env) {
  return save_history_file(dir, key, kMaintenanceTrendsFile, history, env);
}

Status save_reflection_summaries(const fs::path& dir, const SecretKey* key,
                                 const std::vector<ReflectionSummary>& summaries, Env& env) {
  return save_history_file(dir, key, kReflectionSummariesFile, summaries, env);
}

}  // namespace vesk
