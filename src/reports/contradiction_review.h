// The contradiction review queue: contradiction clusters ranked by how much
// rests on them and how unstable they are, so that the worst are reviewed
// first.
//
// What rests on a cluster: the active causal patterns (Candidate or Stable)
// whose cause or effect beliefs include a member of the cluster, and the
// policy hints not Rejected whose trigger beliefs include one; each pattern
// or hint counts once per cluster, ids compared byte for byte.
//
// priority = min(10, (1.5 - min(avg_stability, 1.5))
//                    + (0.9 x downstream_impact
//                       + (4 x avg_volatility + min(total_conflict_mass, 2)
//                          + 0.8 x unresolved + 0.6 x high_volatility)))
// in single precision with this grouping, each min passing over a NaN
// operand (a NaN volatility thus ranks at the cap); severity "high" from 5.0, "medium"
// from 2.5, else "low". Items are ordered by priority, downstream impact and
// unresolved count, all descending, then cluster id in byte order (stable,
// NaN-safe), and cut to the limit: 10 when none is given, at most 50.
//
// The store asks for the clusters with three times the limit, counts the
// dependents under a cognitive read view of the causal layer and then of the
// policy layer, and scores with no lock held.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cognitive/causal_layer.h"
#include "cognitive/policy_layer.h"
#include "reports/belief_instability.h"

namespace vesk {

struct ContradictionReviewItem {
  std::string cluster_id;
  std::string namespace_;
  std::string title;  // "Review contradiction cluster in {ns} ({n} beliefs, {m} records)"
  std::vector<std::string> belief_ids;
  std::vector<std::string> belief_keys;
  std::vector<std::string> record_ids;
  std::vector<std::string> shared_tags;
  uint64_t unresolved_belief_count = 0;
  uint64_t high_volatility_belief_count = 0;
  uint64_t dependent_causal_patterns = 0;
  uint64_t dependent_policy_hints = 0;
  uint64_t downstream_impact = 0;
  float total_conflict_mass = 0.0f;
  float avg_volatility = 0.0f;
  float avg_stability = 0.0f;
  float priority_score = 0.0f;
  std::string severity;

  bool operator==(const ContradictionReviewItem&) const = default;
};

inline constexpr size_t kDefaultReviewQueueLimit = 10;
inline constexpr size_t kMaxReviewQueueLimit = 50;

// The limit: 10 when none is given, else capped at 50.
size_t review_queue_limit(std::optional<uint64_t> limit);

// Per cluster, in the clusters' order: the active causal patterns, and the
// policy hints not rejected, that depend on one of its beliefs. One pass over
// the layer; the caller holds it shared.
std::vector<uint64_t> dependent_causal_patterns(std::span<const ContradictionCluster> clusters,
                                                const CausalEngine& causal);
std::vector<uint64_t> dependent_policy_hints(std::span<const ContradictionCluster> clusters,
                                             const PolicyEngine& policies);

// The ranking score of a cluster with `downstream_impact` dependents.
float contradiction_priority(const ContradictionCluster& cluster, uint64_t downstream_impact);

// The ranked items of `clusters` with their dependents (one count per
// cluster, in the clusters' order), at most `limit`. Pure.
std::vector<ContradictionReviewItem> contradiction_review_queue(std::vector<ContradictionCluster> clusters,
                                                                std::span<const uint64_t> causal_dependents,
                                                                std::span<const uint64_t> policy_dependents,
                                                                size_t limit);

}  // namespace vesk
