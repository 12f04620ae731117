// Retention planning: how many of a container's newest generations to keep,
// from a policy of up to three limits and a floor, and what the kept ones
// would take once compacted.
//
// The limits apply in the order count, age, size; each can only lower the
// number kept, never below the floor (min_generations, or every generation
// when the container has fewer). Holds come last and only raise it: the
// oldest held generation and every newer one are always kept. Each step
// that changed the number adds its reason, in step order:
//   "max_generations={n}", "max_age_seconds={n}", "max_size_bytes={n}",
//   "legal_hold_floor={held generation}";
// a plan that no step changed has the one reason "policy_already_satisfied".
//
// The size estimate of keeping K1..Kk (oldest first): 64 (header), then per
// generation 80 (frame), the stored size of each segment that K(j-1) does not
// hold with the same name, "sha256" text and original size (such bytes
// would be shared; the first kept generation shares nothing), and its TOC's
// compact JSON length as it stands. Only the preceding kept generation is
// looked at, as compaction does. Compaction may differ from it by the digit
// counts of the new offsets and by the holds it prunes.
//
// Planning reads without any lock.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/env.h"
#include "base/status.h"
#include "model/capsule_toc.h"

namespace vesk {

struct RetentionPolicy {
  uint64_t min_generations = 1;  // 0 counts as 1
  std::optional<uint64_t> max_generations;
  std::optional<uint64_t> max_age_seconds;
  std::optional<uint64_t> max_size_bytes;
};

struct RetentionPlan {
  std::vector<uint64_t> evaluated_generations;  // every committed generation, in file order
  std::vector<uint64_t> keep_generations;       // the newest selected_keep_last of them
  std::vector<uint64_t> drop_generations;       // the others
  uint64_t selected_keep_last = 0;
  std::optional<uint64_t> age_cutoff;  // only with max_age_seconds
  uint64_t estimated_compacted_size = 0;
  bool size_target_met = true;  // no size limit, or the estimate is within it
  std::vector<uint64_t> held_generations;  // ascending, distinct
  std::optional<uint64_t> hold_floor_generation;
  bool limits_blocked_by_holds = false;
  std::vector<std::string> reasons;
};

// The estimate above for `kept`, oldest first; "Vesk compaction estimate
// overflow" when a sum overflows 64 bits.
Result<uint64_t> estimate_compacted_size(const std::vector<CapsuleToc>& kept);

// The plan for the container at `path`, now read from `env`'s clock. First
// failure wins: "Vesk retention policy must define at least one limit",
// "max_generations must be at least one", "max_size_bytes must be greater
// than zero", reading the container (load_v2_container_state), "max_generations
// cannot be lower than min_generations", "Vesk container contains a hold for
// a non-retained generation", the estimate's overflow.
Result<RetentionPlan> plan_retention(const fs::path& path, const RetentionPolicy& policy, Env& env);

}  // namespace vesk
