// What each phase of one maintenance cycle changed: one small report per
// phase, and the audit of the belief feedback pass with one entry per
// belief it touched. The cycle fills them as its phases run; the maintenance
// report carries them to the caller.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vesk {

struct DecayReport {
  uint64_t decayed = 0;
  uint64_t archived = 0;

  bool operator==(const DecayReport&) const = default;
};

struct ReflectReport {
  uint64_t promoted = 0;
  uint64_t archived = 0;
  // Promotions into the durable tiers held back by the epistemic guards.
  uint64_t blocked_conflict = 0;
  uint64_t blocked_volatility = 0;
  uint64_t blocked_identity_threshold = 0;

  bool operator==(const ReflectReport&) const = default;
};

struct EpistemicPhaseReport {
  uint64_t updated_records = 0;
  uint64_t total_support_links = 0;
  uint64_t total_conflict_links = 0;
  uint64_t volatile_records = 0;

  bool operator==(const EpistemicPhaseReport&) const = default;
};

struct BeliefPhaseReport {
  uint64_t beliefs_created = 0;
  uint64_t beliefs_pruned = 0;
  uint64_t revisions = 0;
  uint64_t resolved = 0;
  uint64_t unresolved = 0;
  uint64_t total_beliefs = 0;
  uint64_t total_hypotheses = 0;
  double churn_rate = 0.0;  // revisions / max(total_beliefs, 1)

  bool operator==(const BeliefPhaseReport&) const = default;
};

struct ConceptPhaseReport {
  uint64_t seeds_found = 0;
  uint64_t candidates_found = 0;
  uint64_t stable_count = 0;
  uint64_t rejected_count = 0;
  double avg_abstraction_score = 0.0;
  uint64_t centroids_built = 0;
  uint64_t partitions_with_multiple_seeds = 0;
  std::vector<uint64_t> multi_seed_partition_sizes;
  std::vector<uint64_t> cluster_sizes;
  uint64_t clusters_with_multiple_beliefs = 0;
  uint64_t largest_cluster_size = 0;
  uint64_t pairwise_comparisons = 0;
  uint64_t pairwise_above_threshold = 0;
  double tanimoto_min = 0.0;
  double tanimoto_max = 0.0;
  double tanimoto_avg = 0.0;
  double avg_centroid_size = 0.0;
  uint64_t seeds_capped = 0;

  bool operator==(const ConceptPhaseReport&) const = default;
};

struct CausalPhaseReport {
  bool skipped = false;  // the corpus fingerprint had not changed
  uint64_t edges_found = 0;
  uint64_t explicit_edges_found = 0;
  uint64_t temporal_edges_found = 0;
  uint64_t temporal_namespaces_scanned = 0;
  uint64_t temporal_pairs_considered = 0;
  uint64_t temporal_pairs_skipped_by_budget = 0;
  uint64_t temporal_edges_capped = 0;
  uint64_t temporal_namespaces_hit_cap = 0;
  uint64_t candidates_found = 0;
  uint64_t patterns_meeting_support_gate = 0;
  uint64_t patterns_meeting_repeated_window_gate = 0;
  uint64_t patterns_meeting_counterfactual_gate = 0;
  uint64_t patterns_blocked_by_evidence_gates = 0;
  uint64_t patterns_blocked_by_counterfactual_gate = 0;
  uint64_t stable_count = 0;
  uint64_t rejected_count = 0;
  double avg_causal_strength = 0.0;

  bool operator==(const CausalPhaseReport&) const = default;
};

struct PolicyPhaseReport {
  uint64_t seeds_found = 0;
  uint64_t hints_found = 0;
  uint64_t stable_hints = 0;
  uint64_t suppressed_hints = 0;
  uint64_t rejected_hints = 0;
  double avg_policy_strength = 0.0;

  bool operator==(const PolicyPhaseReport&) const = default;
};

struct ConsolidationReport {
  uint64_t native_merged = 0;
  uint64_t clusters_found = 0;
  uint64_t meta_created = 0;

  bool operator==(const ConsolidationReport&) const = default;
};

// One belief changed by the feedback pass: what was asked, what the guards
// let through, and the belief's figures before and after.
struct FeedbackAuditEntry {
  std::string belief_id;
  std::string source_kind;
  std::string source_id;
  std::string reason;
  double delta_requested = 0.0;
  double delta_applied = 0.0;
  double confidence_before = 0.0;
  double confidence_after = 0.0;
  double volatility_before = 0.0;
  double volatility_after = 0.0;
  double volatility_delta_applied = 0.0;
  double stability_before = 0.0;
  double stability_after = 0.0;
  double stability_delta_applied = 0.0;

  bool operator==(const FeedbackAuditEntry&) const = default;
};

struct FeedbackAuditReport {
  uint64_t beliefs_touched = 0;
  uint64_t beliefs_boosted = 0;
  uint64_t beliefs_dampened = 0;
  double net_confidence_delta = 0.0;
  double net_volatility_delta = 0.0;
  std::vector<FeedbackAuditEntry> entries;

  bool operator==(const FeedbackAuditReport&) const = default;
};

}  // namespace vesk
