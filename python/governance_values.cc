// The governance and health reports: policy pressure and lifecycle,
// contradiction clusters, belief instability, salience and the memory health
// digest. None of these classes has a docstring.
#include "value_classes.h"

namespace vesk::py {

ClassObject& NativeClass<PolicyPressureArea>::object() {
  using T = PolicyPressureArea;
  static ValueClass<T> cls{"vesk._core.PolicyPressureArea",
                           nullptr,
                           {
                               field<&T::namespace_>("namespace"),
                               field<&T::domain>("domain"),
                               field<&T::advisory_pressure>("advisory_pressure"),
                               field<&T::active_hints>("active_hints"),
                               field<&T::suppressed_hints>("suppressed_hints"),
                               field<&T::rejected_hints>("rejected_hints"),
                               field<&T::strongest_hint_id>("strongest_hint_id"),
                               field<&T::strongest_action_kind>("strongest_action_kind"),
                               field<&T::strongest_policy_strength>("strongest_policy_strength"),
                           }};
  return cls;
}

ClassObject& NativeClass<PolicyLifecycleSummary>::object() {
  using T = PolicyLifecycleSummary;
  static ValueClass<T> cls{"vesk._core.PolicyLifecycleSummary",
                           nullptr,
                           {
                               field<&T::total_hints>("total_hints"),
                               field<&T::active_hints>("active_hints"),
                               field<&T::stable_hints>("stable_hints"),
                               field<&T::candidate_hints>("candidate_hints"),
                               field<&T::suppressed_hints>("suppressed_hints"),
                               field<&T::rejected_hints>("rejected_hints"),
                               field<&T::avg_policy_strength>("avg_policy_strength"),
                               field<&T::avg_risk_score>("avg_risk_score"),
                               field<&T::action_summaries>("action_summaries"),
                               field<&T::domain_summaries>("domain_summaries"),
                           }};
  return cls;
}

ClassObject& NativeClass<PolicyActionSummary>::object() {
  using T = PolicyActionSummary;
  static ValueClass<T> cls{"vesk._core.PolicyActionSummary",
                           nullptr,
                           {
                               field<&T::action_kind>("action_kind"),
                               field<&T::total_hints>("total_hints"),
                               field<&T::stable_hints>("stable_hints"),
                               field<&T::candidate_hints>("candidate_hints"),
                               field<&T::suppressed_hints>("suppressed_hints"),
                               field<&T::rejected_hints>("rejected_hints"),
                               field<&T::avg_policy_strength>("avg_policy_strength"),
                               field<&T::avg_risk_score>("avg_risk_score"),
                           }};
  return cls;
}

ClassObject& NativeClass<PolicyDomainSummary>::object() {
  using T = PolicyDomainSummary;
  static ValueClass<T> cls{"vesk._core.PolicyDomainSummary",
                           nullptr,
                           {
                               field<&T::namespace_>("namespace"),
                               field<&T::domain>("domain"),
                               field<&T::total_hints>("total_hints"),
                               field<&T::active_hints>("active_hints"),
                               field<&T::stable_hints>("stable_hints"),
                               field<&T::candidate_hints>("candidate_hints"),
                               field<&T::suppressed_hints>("suppressed_hints"),
                               field<&T::rejected_hints>("rejected_hints"),
                               field<&T::avg_policy_strength>("avg_policy_strength"),
                               field<&T::avg_risk_score>("avg_risk_score"),
                               field<&T::advisory_pressure>("advisory_pressure"),
                           }};
  return cls;
}

ClassObject& NativeClass<ContradictionCluster>::object() {
  using T = ContradictionCluster;
  static ValueClass<T> cls{"vesk._core.ContradictionCluster",
                           nullptr,
                           {
                               field<&T::id>("id"),
                               field<&T::namespace_>("namespace"),
                               field<&T::belief_ids>("belief_ids"),
                               field<&T::belief_keys>("belief_keys"),
                               field<&T::record_ids>("record_ids"),
                               field<&T::shared_tags>("shared_tags"),
                               field<&T::unresolved_belief_count>("unresolved_belief_count"),
                               field<&T::high_volatility_belief_count>("high_volatility_belief_count"),
                               field<&T::avg_volatility>("avg_volatility"),
                               field<&T::avg_stability>("avg_stability"),
                               field<&T::total_conflict_mass>("total_conflict_mass"),
                               field<&T::max_conflict_mass>("max_conflict_mass"),
                           }};
  return cls;
}

ClassObject& NativeClass<BeliefInstabilitySummary>::object() {
  using T = BeliefInstabilitySummary;
  static ValueClass<T> cls{"vesk._core.BeliefInstabilitySummary",
                           nullptr,
                           {
                               field<&T::total_beliefs>("total_beliefs"),
                               field<&T::resolved>("resolved"),
                               field<&T::unresolved>("unresolved"),
                               field<&T::singleton>("singleton"),
                               field<&T::empty>("empty"),
                               field<&T::contradiction_cluster_count>("contradiction_cluster_count"),
                               field<&T::high_volatility_count>("high_volatility_count"),
                               field<&T::low_stability_count>("low_stability_count"),
                               field<&T::avg_volatility>("avg_volatility"),
                               field<&T::avg_stability>("avg_stability"),
                               field<&T::volatility_bands>("volatility_bands"),
                           }};
  return cls;
}

// Same shape as SalienceBands, yet a class of its own: neither is an
// instance of the other.
ClassObject& NativeClass<BeliefVolatilityBands>::object() {
  using T = BeliefVolatilityBands;
  static ValueClass<T> cls{"vesk._core.BeliefVolatilityBands",
                           nullptr,
                           {field<&T::low>("low"), field<&T::medium>("medium"), field<&T::high>("high")}};
  return cls;
}

ClassObject& NativeClass<SalienceSummary>::object() {
  using T = SalienceSummary;
  static ValueClass<T> cls{"vesk._core.SalienceSummary",
                           nullptr,
                           {
                               field<&T::total_records>("total_records"),
                               field<&T::high_salience_count>("high_salience_count"),
                               field<&T::avg_salience>("avg_salience"),
                               field<&T::max_salience>("max_salience"),
                               field<&T::bands>("bands"),
                           }};
  return cls;
}

ClassObject& NativeClass<SalienceBands>::object() {
  using T = SalienceBands;
  static ValueClass<T> cls{"vesk._core.SalienceBands",
                           nullptr,
                           {field<&T::low>("low"), field<&T::medium>("medium"), field<&T::high>("high")}};
  return cls;
}

ClassObject& NativeClass<MemoryHealthDigest>::object() {
  using T = MemoryHealthDigest;
  static ValueClass<T> cls{"vesk._core.MemoryHealthDigest",
                           nullptr,
                           {
                               field<&T::total_records>("total_records"),
                               field<&T::startup_has_recovery_warnings>("startup_has_recovery_warnings"),
                               field<&T::high_salience_record_count>("high_salience_record_count"),
                               field<&T::avg_salience>("avg_salience"),
                               field<&T::max_salience>("max_salience"),
                               field<&T::reflection_summary_count>("reflection_summary_count"),
                               field<&T::reflection_high_severity_findings>("reflection_high_severity_findings"),
                               field<&T::contradiction_cluster_count>("contradiction_cluster_count"),
                               field<&T::high_volatility_belief_count>("high_volatility_belief_count"),
                               field<&T::low_stability_belief_count>("low_stability_belief_count"),
                               field<&T::recent_correction_count>("recent_correction_count"),
                               field<&T::suppressed_policy_hint_count>("suppressed_policy_hint_count"),
                               field<&T::rejected_policy_hint_count>("rejected_policy_hint_count"),
                               field<&T::policy_pressure_area_count>("policy_pressure_area_count"),
                               field<&T::maintenance_trend_direction>("maintenance_trend_direction"),
                               field<&T::latest_dominant_phase>("latest_dominant_phase"),
                               field<&T::top_issues>("top_issues"),
                           }};
  return cls;
}

ClassObject& NativeClass<OperatorReviewIssue>::object() {
  using T = OperatorReviewIssue;
  static ValueClass<T> cls{"vesk._core.OperatorReviewIssue",
                           nullptr,
                           {
                               field<&T::kind>("kind"),
                               field<&T::target_id>("target_id"),
                               field<&T::namespace_>("namespace"),
                               field<&T::title>("title"),
                               field<&T::score>("score"),
                               field<&T::severity>("severity"),
                           }};
  return cls;
}

}  // namespace vesk::py
