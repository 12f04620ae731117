#include "exchange/capsule/container_retention.h"

#include <memory>
#include <utility>

namespace vesk {

Result<RetentionApplyReport> apply_retention(const fs::path& path, const RetentionPolicy& policy, Env& env) {
  Result<RetentionPlan> plan = plan_retention(path, policy, env);
  if (!plan.ok()) return plan.status();
  Result<CompactionReport> compaction = compact_container_generations(path, plan->selected_keep_last, env);
  if (!compaction.ok()) return compaction.status();
  RetentionApplyReport report;
  report.evaluated_generation_count = plan->evaluated_generations.size();
  report.selected_keep_last = plan->selected_keep_last;
  report.age_cutoff = plan->age_cutoff;
  report.estimated_compacted_size = plan->estimated_compacted_size;
  report.reasons = plan->reasons;
  report.size_target_met = !policy.max_size_bytes || compaction->compacted_size <= *policy.max_size_bytes;
  report.plan = std::move(plan).value();
  report.compaction = std::move(compaction).value();
  return report;
}

Result<RetentionApplyReport> apply_container_retention_locked(const fs::path& path, const RetentionPolicy& policy,
                                                              Env& env, LockWaitClock& clock) {
  auto mutation = ContainerMutation::begin(path, env, clock);
  if (!mutation.ok()) return mutation.status();
  return apply_retention(path, policy, env);
}

}  // namespace vesk
