// The maintenance report, its phase reports and the accounting of how the
// cycle ran. Docstrings and attribute doc texts are the module's own
// documentation, kept byte for byte.
#include "value_classes.h"

namespace vesk::py {

ClassObject& NativeClass<MaintenanceReport>::object() {
  using T = MaintenanceReport;
  static ValueClass<T> cls{
      "vesk._core.MaintenanceReport",
      "Full maintenance cycle report.",
      {
          field<&T::timestamp>("timestamp"),
          field<&T::decay>("decay"),
          field<&T::reflect>("reflect"),
          field<&T::epistemic>("epistemic"),
          field<&T::insights_found>("insights_found"),
          field<&T::belief>("belief"),
          field<&T::concept_>("concept"),
          field<&T::causal>("causal"),
          field<&T::policy>("policy"),
          field<&T::feedback>("feedback"),
          field<&T::consolidation>("consolidation"),
          field<&T::cross_connections>("cross_connections"),
          field<&T::task_reminders>("task_reminders"),
          field<&T::records_archived>("records_archived"),
          field<&T::total_records>("total_records"),
          field<&T::experience_injected>("experience_injected",
                                         "Phase 3.6: records injected from the experience queue this cycle."),
          field<&T::timings>("timings", "Per-phase timing breakdown."),
          field<&T::stability>("stability", "Cross-cycle identity stability."),
          field<&T::concept_surface>("concept_surface", "Audit/telemetry for the bounded concept inspection surface."),
          field<&T::reflection>("reflection", "Bounded maintenance-time synthesis emitted for this cycle."),
          field<&T::trend_summary>("trend_summary", "Bounded trend summary across recent maintenance cycles."),
          field<&T::hotspots>("hotspots", "Scalability-oriented load and hot-spot accounting."),
      }};
  return cls;
}

ClassObject& NativeClass<DecayReport>::object() {
  using T = DecayReport;
  static ValueClass<T> cls{"vesk._core.DecayReport",
                           "Decay phase report.",
                           {field<&T::decayed>("decayed"), field<&T::archived>("archived")}};
  return cls;
}

ClassObject& NativeClass<ReflectReport>::object() {
  using T = ReflectReport;
  static ValueClass<T> cls{
      "vesk._core.ReflectReport",
      "Reflect phase report.",
      {
          field<&T::promoted>("promoted"),
          field<&T::archived>("archived"),
          field<&T::blocked_conflict>("blocked_conflict", "Durable-tier promotions blocked by contradictory evidence."),
          field<&T::blocked_volatility>("blocked_volatility",
                                        "Durable-tier promotions blocked by epistemic volatility."),
          field<&T::blocked_identity_threshold>(
              "blocked_identity_threshold",
              "Domain\u2192Identity promotions that lacked the stricter evidence tenure."),
      }};
  return cls;
}

ClassObject& NativeClass<EpistemicPhaseReport>::object() {
  using T = EpistemicPhaseReport;
  static ValueClass<T> cls{
      "vesk._core.EpistemicPhaseReport",
      "Epistemic phase report \u2014 support/conflict propagation from local graph structure.",
      {
          field<&T::updated_records>("updated_records", "Number of records whose epistemic state changed this cycle."),
          field<&T::total_support_links>("total_support_links",
                                         "Sum of confirming neighbor counts across all live records."),
          field<&T::total_conflict_links>("total_conflict_links",
                                          "Sum of conflicting neighbor counts across all live records."),
          field<&T::volatile_records>("volatile_records",
                                      "Number of records with materially non-zero volatility after the update."),
      }};
  return cls;
}

ClassObject& NativeClass<BeliefPhaseReport>::object() {
  using T = BeliefPhaseReport;
  static ValueClass<T> cls{
      "vesk._core.BeliefPhaseReport",
      "Belief phase report \u2014 epistemic layer stats from a single maintenance cycle.",
      {
          field<&T::beliefs_created>("beliefs_created", "Number of new beliefs created this cycle."),
          field<&T::beliefs_pruned>("beliefs_pruned", "Number of stale beliefs pruned."),
          field<&T::revisions>("revisions", "Number of belief revisions (winner changed)."),
          field<&T::resolved>("resolved", "Number of beliefs with a clear winner."),
          field<&T::unresolved>("unresolved", "Number of beliefs with no clear winner."),
          field<&T::total_beliefs>("total_beliefs", "Total active beliefs after this cycle."),
          field<&T::total_hypotheses>("total_hypotheses", "Total active hypotheses after this cycle."),
          field<&T::churn_rate>("churn_rate",
                                "Churn rate = revisions / max(total_beliefs, 1).\n"
                                "Values > 0.10 on stable data indicate belief layer instability."),
      }};
  return cls;
}

ClassObject& NativeClass<ConceptPhaseReport>::object() {
  using T = ConceptPhaseReport;
  static ValueClass<T> cls{
      "vesk._core.ConceptPhaseReport",
      "Concept phase report \u2014 concept discovery stats from a single maintenance cycle.",
      {
          field<&T::seeds_found>("seeds_found", "Number of eligible belief seeds found."),
          field<&T::candidates_found>("candidates_found", "Total concept candidates discovered."),
          field<&T::stable_count>("stable_count", "Candidates that reached Stable state."),
          field<&T::rejected_count>("rejected_count", "Candidates that were Rejected."),
          field<&T::avg_abstraction_score>("avg_abstraction_score", "Average abstraction score across all candidates."),
          field<&T::centroids_built>("centroids_built", "Non-empty centroids built."),
          field<&T::partitions_with_multiple_seeds>("partitions_with_multiple_seeds", "Partitions with >= 2 seeds."),
          field<&T::multi_seed_partition_sizes>("multi_seed_partition_sizes", "Sizes of partitions with >= 2 seeds."),
          field<&T::cluster_sizes>("cluster_sizes", "Sizes of clusters emitted by union-find clustering."),
          field<&T::clusters_with_multiple_beliefs>("clusters_with_multiple_beliefs",
                                                    "Number of clusters with >= 2 beliefs."),
          field<&T::largest_cluster_size>("largest_cluster_size", "Largest cluster size observed this cycle."),
          field<&T::pairwise_comparisons>("pairwise_comparisons", "Total pairwise centroid comparisons."),
          field<&T::pairwise_above_threshold>("pairwise_above_threshold", "Pairs above similarity threshold."),
          field<&T::tanimoto_min>("tanimoto_min", "Min pairwise Tanimoto."),
          field<&T::tanimoto_max>("tanimoto_max", "Max pairwise Tanimoto."),
          field<&T::tanimoto_avg>("tanimoto_avg", "Avg pairwise Tanimoto."),
          field<&T::avg_centroid_size>("avg_centroid_size", "Avg centroid size (bits)."),
          field<&T::seeds_capped>("seeds_capped", "Seeds dropped due to MAX_PARTITION_SIZE cap."),
      }};
  return cls;
}

ClassObject& NativeClass<CausalPhaseReport>::object() {
  using T = CausalPhaseReport;
  static ValueClass<T> cls{
      "vesk._core.CausalPhaseReport",
      "Causal phase report \u2014 causal pattern discovery stats from a single maintenance cycle.",
      {
          field<&T::skipped>("skipped", "True if the causal rebuild was skipped (corpus fingerprint unchanged)."),
          field<&T::edges_found>("edges_found", "Number of raw record-level causal edges found."),
          field<&T::explicit_edges_found>("explicit_edges_found",
                                          "Number of explicit record-level causal edges found."),
          field<&T::temporal_edges_found>("temporal_edges_found",
                                          "Number of temporal record-level causal edges found."),
          field<&T::temporal_namespaces_scanned>("temporal_namespaces_scanned",
                                                 "Namespaces scanned for temporal edge extraction."),
          field<&T::temporal_pairs_considered>("temporal_pairs_considered", "Pairwise temporal checks considered."),
          field<&T::temporal_pairs_skipped_by_budget>("temporal_pairs_skipped_by_budget",
                                                      "Pairwise temporal checks skipped by the budgeting policy."),
          field<&T::temporal_edges_capped>("temporal_edges_capped", "Temporal edges skipped due to cap pressure."),
          field<&T::temporal_namespaces_hit_cap>("temporal_namespaces_hit_cap",
                                                 "Namespaces that hit the temporal edge cap."),
          field<&T::candidates_found>("candidates_found", "Total causal pattern candidates after aggregation."),
          field<&T::patterns_meeting_support_gate>("patterns_meeting_support_gate",
                                                   "Patterns that pass the minimum support gate."),
          field<&T::patterns_meeting_repeated_window_gate>("patterns_meeting_repeated_window_gate",
                                                           "Patterns that pass the repeated-evidence gate."),
          field<&T::patterns_meeting_counterfactual_gate>("patterns_meeting_counterfactual_gate",
                                                          "Patterns that pass the counterfactual-ratio gate."),
          field<&T::patterns_blocked_by_evidence_gates>("patterns_blocked_by_evidence_gates",
                                                        "Patterns blocked by evidence gates before state promotion."),
          field<&T::patterns_blocked_by_counterfactual_gate>(
              "patterns_blocked_by_counterfactual_gate",
              "Patterns blocked by counterfactual pressure before state promotion."),
          field<&T::stable_count>("stable_count", "Patterns that reached Stable state."),
          field<&T::rejected_count>("rejected_count", "Patterns that were Rejected."),
          field<&T::avg_causal_strength>("avg_causal_strength", "Average causal_strength across all candidates."),
      }};
  return cls;
}

ClassObject& NativeClass<PolicyPhaseReport>::object() {
  using T = PolicyPhaseReport;
  static ValueClass<T> cls{
      "vesk._core.PolicyPhaseReport",
      "Policy phase report \u2014 policy hint discovery stats from a single maintenance cycle.",
      {
          field<&T::seeds_found>("seeds_found", "Number of causal seeds considered."),
          field<&T::hints_found>("hints_found", "Total policy hints after generation."),
          field<&T::stable_hints>("stable_hints", "Hints that reached Stable state."),
          field<&T::suppressed_hints>("suppressed_hints", "Hints suppressed by conflict."),
          field<&T::rejected_hints>("rejected_hints", "Hints that were Rejected."),
          field<&T::avg_policy_strength>("avg_policy_strength", "Average policy_strength across all hints."),
      }};
  return cls;
}

ClassObject& NativeClass<ConsolidationReport>::object() {
  using T = ConsolidationReport;
  static ValueClass<T> cls{"vesk._core.ConsolidationReport",
                           "Consolidation phase report.",
                           {field<&T::native_merged>("native_merged"), field<&T::clusters_found>("clusters_found"),
                            field<&T::meta_created>("meta_created")}};
  return cls;
}

ClassObject& NativeClass<FeedbackAuditReport>::object() {
  using T = FeedbackAuditReport;
  static ValueClass<T> cls{"vesk._core.FeedbackAuditReport",
                           "Feedback audit summary for a maintenance cycle.",
                           {
                               field<&T::beliefs_touched>("beliefs_touched"),
                               field<&T::beliefs_boosted>("beliefs_boosted"),
                               field<&T::beliefs_dampened>("beliefs_dampened"),
                               field<&T::net_confidence_delta>("net_confidence_delta"),
                               field<&T::net_volatility_delta>("net_volatility_delta"),
                               field<&T::entries>("entries"),
                           }};
  return cls;
}

ClassObject& NativeClass<FeedbackAuditEntry>::object() {
  using T = FeedbackAuditEntry;
  static ValueClass<T> cls{"vesk._core.FeedbackAuditEntry",
                           "Single feedback audit event emitted by the belief feedback pass.",
                           {
                               field<&T::belief_id>("belief_id"),
                               field<&T::source_kind>("source_kind"),
                               field<&T::source_id>("source_id"),
                               field<&T::reason>("reason"),
                               field<&T::delta_requested>("delta_requested"),
                               field<&T::delta_applied>("delta_applied"),
                               field<&T::confidence_before>("confidence_before"),
                               field<&T::confidence_after>("confidence_after"),
                               field<&T::volatility_before>("volatility_before"),
                               field<&T::volatility_after>("volatility_after"),
                               field<&T::volatility_delta_applied>("volatility_delta_applied"),
                               field<&T::stability_before>("stability_before"),
                               field<&T::stability_after>("stability_after"),
                               field<&T::stability_delta_applied>("stability_delta_applied"),
                           }};
  return cls;
}

ClassObject& NativeClass<PhaseTimings>::object() {
  using T = PhaseTimings;
  static ValueClass<T> cls{
      "vesk._core.PhaseTimings",
      "Per-phase timing in milliseconds.",
      {
          field<&T::level_fix_ms>("level_fix_ms", "Phase 0: Level fix (ms)."),
          field<&T::decay_ms>("decay_ms", "Phase 1: Decay (ms)."),
          field<&T::reflect_ms>("reflect_ms", "Phase 2: Reflect (ms)."),
          field<&T::epistemic_ms>("epistemic_ms", "Phase 2.5: Epistemic update (ms)."),
          field<&T::insights_ms>("insights_ms", "Phase 3: Insights (ms)."),
          field<&T::sdr_build_ms>("sdr_build_ms", "SDR lookup build (ms) \u2014 shared by belief/concept/causal."),
          field<&T::belief_ms>("belief_ms", "Phase 3.5: Belief update (ms)."),
          field<&T::concept_ms>("concept_ms", "Phase 3.7: Concept discovery (ms)."),
          field<&T::causal_ms>("causal_ms", "Phase 3.8: Causal discovery (ms)."),
          field<&T::policy_ms>("policy_ms", "Phase 3.9: Policy discovery (ms)."),
          field<&T::consolidation_ms>("consolidation_ms", "Phase 4: Consolidation (ms)."),
          field<&T::cross_connections_ms>("cross_connections_ms", "Phase 5: Cross-connections (ms)."),
          field<&T::tasks_archival_ms>("tasks_archival_ms", "Phase 6+7: Tasks + archival (ms)."),
          field<&T::total_ms>("total_ms", "Total cycle time (ms)."),
      }};
  return cls;
}

ClassObject& NativeClass<LayerStability>::object() {
  using T = LayerStability;
  static ValueClass<T> cls{
      "vesk._core.LayerStability",
      "Per-layer identity stability counters.\n"
      "Tracks how many entities survived, appeared, or disappeared between cycles.",
      {
          field<&T::belief_retained>("belief_retained", "Belief IDs retained from previous cycle."),
          field<&T::belief_new>("belief_new", "New belief IDs this cycle."),
          field<&T::belief_dropped>("belief_dropped", "Belief IDs dropped since previous cycle."),
          field<&T::belief_churn>("belief_churn", "Belief identity churn rate = (new + dropped) / max(total, 1)."),
          field<&T::concept_retained>("concept_retained"),
          field<&T::concept_new>("concept_new"),
          field<&T::concept_dropped>("concept_dropped"),
          field<&T::concept_churn>("concept_churn"),
          field<&T::causal_retained>("causal_retained"),
          field<&T::causal_new>("causal_new"),
          field<&T::causal_dropped>("causal_dropped"),
          field<&T::causal_churn>("causal_churn"),
          field<&T::policy_retained>("policy_retained"),
          field<&T::policy_new>("policy_new"),
          field<&T::policy_dropped>("policy_dropped"),
          field<&T::policy_churn>("policy_churn"),
      }};
  return cls;
}

ClassObject& NativeClass<ConceptSurfaceTelemetry>::object() {
  using T = ConceptSurfaceTelemetry;
  static ValueClass<T> cls{
      "vesk._core.ConceptSurfaceTelemetry",
      "Runtime telemetry for the bounded concept inspection surface.",
      {
          field<&T::mode>("mode", "Current runtime surface mode: Off, Inspect, or Limited."),
          field<&T::surfaced_concepts_available>("surfaced_concepts_available",
                                                 "Number of surfaced concepts currently eligible for inspection."),
          field<&T::surfaced_namespaces>("surfaced_namespaces",
                                         "Number of namespaces represented in the current surfaced concept set."),
          field<&T::global_calls_since_last_cycle>(
              "global_calls_since_last_cycle",
              "Global surfaced-concept API calls observed since the previous maintenance cycle."),
          field<&T::namespace_calls_since_last_cycle>(
              "namespace_calls_since_last_cycle",
              "Namespace-scoped surfaced-concept API calls observed since the previous maintenance cycle."),
          field<&T::record_calls_since_last_cycle>(
              "record_calls_since_last_cycle",
              "Per-record annotation API calls observed since the previous maintenance cycle."),
          field<&T::concepts_returned_since_last_cycle>(
              "concepts_returned_since_last_cycle",
              "Total surfaced concepts returned across all surface APIs since the previous maintenance cycle."),
          field<&T::record_annotations_returned_since_last_cycle>(
              "record_annotations_returned_since_last_cycle",
              "Total per-record concept annotations returned since the previous maintenance cycle."),
      }};
  return cls;
}

ClassObject& NativeClass<MaintenanceHotspots>::object() {
  using T = MaintenanceHotspots;
  static ValueClass<T> cls{
      "vesk._core.MaintenanceHotspots",
      "Maintenance hot-spot accounting for scalability visibility.",
      {
          field<&T::records_before_cycle>("records_before_cycle", "Records present at cycle start."),
          field<&T::records_after_cycle>("records_after_cycle",
                                         "Records present after archival/consolidation finishes."),
          field<&T::belief_snapshot_records>("belief_snapshot_records",
                                             "Number of records cloned into the belief/concept/causal snapshot."),
          field<&T::sdr_source_bytes>("sdr_source_bytes", "Total source text bytes processed during SDR rebuild."),
          field<&T::sdr_vectors_built>("sdr_vectors_built", "Number of SDR vectors built this cycle."),
          field<&T::sdr_vectors_computed>("sdr_vectors_computed",
                                          "Number of SDR vectors computed from scratch this cycle."),
          field<&T::sdr_vectors_reused>("sdr_vectors_reused", "Number of SDR vectors reused from cache this cycle."),
          field<&T::belief_total_beliefs>("belief_total_beliefs", "Active beliefs after the belief phase."),
          field<&T::belief_total_hypotheses>("belief_total_hypotheses", "Active hypotheses after the belief phase."),
          field<&T::concept_pairwise_comparisons>("concept_pairwise_comparisons",
                                                  "Concept pairwise centroid comparisons this cycle."),
          field<&T::concept_partitions_with_multiple_seeds>("concept_partitions_with_multiple_seeds",
                                                            "Concept partitions with multiple seeds."),
          field<&T::causal_edges_found>("causal_edges_found", "Causal record-level edges evaluated this cycle."),
          field<&T::causal_explicit_edges_found>("causal_explicit_edges_found",
                                                 "Explicit causal edges found this cycle."),
          field<&T::causal_temporal_edges_found>("causal_temporal_edges_found",
                                                 "Temporal causal edges found this cycle."),
          field<&T::causal_temporal_namespaces_scanned>("causal_temporal_namespaces_scanned",
                                                        "Namespaces scanned for temporal causal extraction."),
          field<&T::causal_temporal_pairs_considered>("causal_temporal_pairs_considered",
                                                      "Pairwise temporal causal checks considered."),
          field<&T::causal_temporal_pairs_skipped_by_budget>("causal_temporal_pairs_skipped_by_budget",
                                                             "Pairwise temporal causal checks skipped by budget."),
          field<&T::causal_temporal_edges_capped>("causal_temporal_edges_capped",
                                                  "Temporal causal edges suppressed by per-namespace cap."),
          field<&T::causal_temporal_namespaces_hit_cap>("causal_temporal_namespaces_hit_cap",
                                                        "Namespaces that hit the temporal causal cap."),
          field<&T::policy_seeds_found>("policy_seeds_found", "Policy seeds considered this cycle."),
          field<&T::cross_connections_found>("cross_connections_found", "Cross-connections discovered this cycle."),
          field<&T::task_reminders_found>("task_reminders_found", "Scheduled task reminders emitted this cycle."),
          field<&T::dominant_phase>("dominant_phase", "Name of the dominant timing phase in this cycle."),
          field<&T::dominant_phase_ms>("dominant_phase_ms", "Time spent in the dominant phase."),
          field<&T::dominant_phase_share>("dominant_phase_share",
                                          "Share of total cycle time spent in the dominant phase."),
      }};
  return cls;
}

}  // namespace vesk::py
