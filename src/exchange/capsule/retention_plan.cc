#include "exchange/capsule/retention_plan.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "exchange/capsule/container_format.h"
#include "exchange/capsule/container_reader.h"

namespace vesk {

namespace {

Status estimate_overflow() { return Status::OS("Vesk compaction estimate overflow"); }

bool add(uint64_t& sum, uint64_t v) { return !__builtin_add_overflow(sum, v, &sum); }

// What one generation adds to the estimate: frame, TOC and stored bytes,
// once as the first kept generation (nothing shared) and once after its
// predecessor in the file. A sum that overflows is none.
struct GenerationCost {
  std::optional<uint64_t> first;
  std::optional<uint64_t> after_previous;
};

// `previous` null: the generation comes first.
std::optional<uint64_t> cost_of(const CapsuleToc& toc, uint64_t toc_length, const CapsuleToc* previous) {
  std::unordered_map<std::string_view, const CapsuleSegment*> before;
  if (previous) {
    for (const CapsuleSegment& s : previous->segments) before.emplace(s.name, &s);
  }
  uint64_t cost = kGenerationFrameSize;
  for (const CapsuleSegment& s : toc.segments) {
    auto old = before.find(s.name);
    const bool shared = old != before.end() && old->second->sha256 == s.sha256 &&
                        old->second->original_size == s.original_size;
    if (!shared && !add(cost, s.stored_size)) return std::nullopt;
  }
  if (!add(cost, toc_length)) return std::nullopt;
  return cost;
}

// Estimates for every possible start of the kept run in one pass: the cost of
// generation j after its predecessor does not depend on where the run
// starts, so keeping the newest k generations costs 64 + first(N-k) + the
// suffix sum of after_previous from N-k+1. Each TOC is serialised once.
class SizeEstimates {
 public:
  explicit SizeEstimates(const std::vector<CapsuleToc>& tocs) : costs_(tocs.size()), suffix_(tocs.size() + 1, 0) {
    for (size_t j = 0; j < tocs.size(); ++j) {
      const uint64_t length = serialize_capsule_toc(tocs[j]).size();
      costs_[j].first = cost_of(tocs[j], length, nullptr);
      if (j > 0) costs_[j].after_previous = cost_of(tocs[j], length, &tocs[j - 1]);
    }
    for (size_t j = tocs.size(); j-- > 1;) {
      const std::optional<uint64_t>& c = costs_[j].after_previous;
      if (!suffix_[j + 1] || !c) {
        suffix_[j] = std::nullopt;
      } else {
        uint64_t sum = *suffix_[j + 1];
        suffix_[j] = add(sum, *c) ? std::optional<uint64_t>(sum) : std::nullopt;
      }
    }
  }

  // The estimate of keeping the newest `keep` (1..N) generations.
  Result<uint64_t> keeping(uint64_t keep) const {
    const size_t start = costs_.size() - keep;
    uint64_t size = kContainerHeaderSize;
    const std::optional<uint64_t>& rest = suffix_[start + 1];
    if (!costs_[start].first || !rest || !add(size, *costs_[start].first) || !add(size, *rest)) {
      return estimate_overflow();
    }
    return size;
  }

 private:
  std::vector<GenerationCost> costs_;
  std::vector<std::optional<uint64_t>> suffix_;  // suffix_[j]: sum of after_previous from j on
};

uint64_t unix_seconds_or_zero(Env& env) {
  const double now = env.now_seconds();
  return now > 0 ? static_cast<uint64_t>(now) : 0;
}

}  // namespace

Result<uint64_t> estimate_compacted_size(const std::vector<CapsuleToc>& kept) {
  uint64_t size = kContainerHeaderSize;
  for (size_t j = 0; j < kept.size(); ++j) {
    std::optional<uint64_t> c =
        cost_of(kept[j], serialize_capsule_toc(kept[j]).size(), j > 0 ? &kept[j - 1] : nullptr);
    if (!c || !add(size, *c)) return estimate_overflow();
  }
  return size;
}

Result<RetentionPlan> plan_retention(const fs::path& path, const RetentionPolicy& policy, Env& env) {
  if (!policy.max_generations && !policy.max_age_seconds && !policy.max_size_bytes) {
    return Status::OS("Vesk retention policy must define at least one limit");
  }
  if (policy.max_generations == 0u) return Status::OS("max_generations must be at least one");
  if (policy.max_size_bytes == 0u) return Status::OS("max_size_bytes must be greater than zero");
  Result<ContainerState> state = load_v2_container_state(path, env);
  if (!state.ok()) return state.status();
  const std::vector<CapsuleToc>& tocs = state->generations;
  const uint64_t n = tocs.size();
  const uint64_t m = std::max<uint64_t>(policy.min_generations, 1);
  const uint64_t floor = std::min(n, m);

  RetentionPlan plan;
  uint64_t keep = n;
  if (policy.max_generations) {
    const uint64_t max = *policy.max_generations;
    if (max < floor) return Status::OS("max_generations cannot be lower than min_generations");
    if (max < n) {
      keep = max;
      plan.reasons.push_back("max_generations=" + std::to_string(max));
    }
  }
  if (policy.max_age_seconds) {
    const uint64_t now = unix_seconds_or_zero(env);
    const uint64_t cutoff = now > *policy.max_age_seconds ? now - *policy.max_age_seconds : 0;
    plan.age_cutoff = cutoff;
    uint64_t recent = 0;
    for (auto it = tocs.rbegin(); it != tocs.rend() && it->created_at >= cutoff; ++it) ++recent;
    const uint64_t a = std::max(recent, floor);
    if (a < keep) {
      keep = a;
      plan.reasons.push_back("max_age_seconds=" + std::to_string(*policy.max_age_seconds));
    }
  }
  const SizeEstimates estimates(tocs);
  if (policy.max_size_bytes && keep > m) {
    const uint64_t before = keep;
    for (;;) {
      Result<uint64_t> estimate = estimates.keeping(keep);
      if (!estimate.ok()) return estimate.status();
      if (*estimate <= *policy.max_size_bytes) break;
      --keep;
      if (keep <= floor) break;
    }
    if (keep < before) plan.reasons.push_back("max_size_bytes=" + std::to_string(*policy.max_size_bytes));
  }

  for (const CapsuleGenerationHold& hold : state->latest.holds) plan.held_generations.push_back(hold.generation);
  std::sort(plan.held_generations.begin(), plan.held_generations.end());
  plan.held_generations.erase(std::unique(plan.held_generations.begin(), plan.held_generations.end()),
                              plan.held_generations.end());
  const uint64_t first = tocs.front().generation;
  for (uint64_t held : plan.held_generations) {
    if (held < first || held > tocs.back().generation) {
      return Status::OS("Vesk container contains a hold for a non-retained generation");
    }
  }
  const uint64_t limited = keep;
  if (!plan.held_generations.empty()) {
    const uint64_t h = plan.held_generations.front();
    plan.hold_floor_generation = h;
    const uint64_t need = n - (h - first);  // numbers run on from the first
    if (need > keep) {
      keep = need;
      plan.reasons.push_back("legal_hold_floor=" + std::to_string(h));
    }
  }
  plan.limits_blocked_by_holds = keep > limited;

  Result<uint64_t> estimate = estimates.keeping(keep);
  if (!estimate.ok()) return estimate.status();
  plan.estimated_compacted_size = *estimate;
  plan.size_target_met = !policy.max_size_bytes || *estimate <= *policy.max_size_bytes;
  if (plan.reasons.empty()) plan.reasons.push_back("policy_already_satisfied");
  plan.selected_keep_last = keep;
  for (uint64_t i = 0; i < n; ++i) {
    plan.evaluated_generations.push_back(tocs[i].generation);
    (i < n - keep ? plan.drop_generations : plan.keep_generations).push_back(tocs[i].generation);
  }
  return plan;
}

}  // namespace vesk
