// How one maintenance cycle ran, apart from what it changed: the time of each
// phase, how many layer identities survived from the previous cycle, how the
// concept inspection surface was used since then, and where the load fell.
#pragma once

#include <cstdint>
#include <string>

namespace vesk {

// Milliseconds per phase; total_ms is the whole cycle, not the sum.
struct PhaseTimings {
  double level_fix_ms = 0.0;
  double decay_ms = 0.0;
  double reflect_ms = 0.0;
  double epistemic_ms = 0.0;
  double insights_ms = 0.0;
  double sdr_build_ms = 0.0;
  double belief_ms = 0.0;
  double concept_ms = 0.0;
  double causal_ms = 0.0;
  double policy_ms = 0.0;
  double consolidation_ms = 0.0;
  double cross_connections_ms = 0.0;
  double tasks_archival_ms = 0.0;
  double total_ms = 0.0;

  bool operator==(const PhaseTimings&) const = default;
};

// Per layer: ids kept, new and gone since the previous cycle, and the churn
// (new + dropped) / max(total, 1).
struct LayerStability {
  uint64_t belief_retained = 0;
  uint64_t belief_new = 0;
  uint64_t belief_dropped = 0;
  double belief_churn = 0.0;
  uint64_t concept_retained = 0;
  uint64_t concept_new = 0;
  uint64_t concept_dropped = 0;
  double concept_churn = 0.0;
  uint64_t causal_retained = 0;
  uint64_t causal_new = 0;
  uint64_t causal_dropped = 0;
  double causal_churn = 0.0;
  uint64_t policy_retained = 0;
  uint64_t policy_new = 0;
  uint64_t policy_dropped = 0;
  double policy_churn = 0.0;

  bool operator==(const LayerStability&) const = default;
};

// The concept surface's mode ("Off", "Inspect" or "Limited") and its calls
// and answers counted since the previous cycle.
struct ConceptSurfaceTelemetry {
  std::string mode;
  uint64_t surfaced_concepts_available = 0;
  uint64_t surfaced_namespaces = 0;
  uint64_t global_calls_since_last_cycle = 0;
  uint64_t namespace_calls_since_last_cycle = 0;
  uint64_t record_calls_since_last_cycle = 0;
  uint64_t concepts_returned_since_last_cycle = 0;
  uint64_t record_annotations_returned_since_last_cycle = 0;

  bool operator==(const ConceptSurfaceTelemetry&) const = default;
};

// The sizes that drive a cycle's cost, and the phase that took longest.
struct MaintenanceHotspots {
  uint64_t records_before_cycle = 0;
  uint64_t records_after_cycle = 0;
  uint64_t belief_snapshot_records = 0;
  uint64_t sdr_source_bytes = 0;
  uint64_t sdr_vectors_built = 0;
  uint64_t sdr_vectors_computed = 0;
  uint64_t sdr_vectors_reused = 0;
  uint64_t belief_total_beliefs = 0;
  uint64_t belief_total_hypotheses = 0;
  uint64_t concept_pairwise_comparisons = 0;
  uint64_t concept_partitions_with_multiple_seeds = 0;
  uint64_t causal_edges_found = 0;
  uint64_t causal_explicit_edges_found = 0;
  uint64_t causal_temporal_edges_found = 0;
  uint64_t causal_temporal_namespaces_scanned = 0;
  uint64_t causal_temporal_pairs_considered = 0;
  uint64_t causal_temporal_pairs_skipped_by_budget = 0;
  uint64_t causal_temporal_edges_capped = 0;
  uint64_t causal_temporal_namespaces_hit_cap = 0;
  uint64_t policy_seeds_found = 0;
  uint64_t cross_connections_found = 0;
  uint64_t task_reminders_found = 0;
  std::string dominant_phase;
  double dominant_phase_ms = 0.0;
  double dominant_phase_share = 0.0;  // of total_ms

  bool operator==(const MaintenanceHotspots&) const = default;
};

}  // namespace vesk
