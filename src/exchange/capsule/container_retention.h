// Applying retention: planning (retention_plan.h), then compacting to the
// plan's number of generations (container_compaction.h), and the locked
// form that the static method, the append with retention and the retention
// scheduler share.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/env.h"
#include "base/status.h"
#include "exchange/capsule/container_compaction.h"
#include "exchange/capsule/container_lock.h"
#include "exchange/capsule/retention_plan.h"

namespace vesk {

struct RetentionApplyReport {
  RetentionPlan plan;
  CompactionReport compaction;
  uint64_t evaluated_generation_count = 0;
  uint64_t selected_keep_last = 0;
  std::optional<uint64_t> age_cutoff;
  uint64_t estimated_compacted_size = 0;
  std::vector<std::string> reasons;
  // Recomputed from the compacted size: no size limit, or within it.
  bool size_target_met = true;
};

// Plans, then compacts with the plan's selected_keep_last; a failure of
// either is returned (a failed plan changes nothing). A plan that keeps
// every generation still compacts when the file has an uncommitted tail.
// The caller holds the container's mutation lock.
Result<RetentionApplyReport> apply_retention(const fs::path& path, const RetentionPolicy& policy, Env& env);

// apply_retention inside the container mutation mutex and the container's
// lock file, both released before it returns (a failure to take the lock is
// returned with the mutex released).
Result<RetentionApplyReport> apply_container_retention_locked(const fs::path& path, const RetentionPolicy& policy,
                                                              Env& env,
                                                              LockWaitClock& clock = LockWaitClock::Default());

}  // namespace vesk
