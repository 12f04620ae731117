// Reflection summaries, the reflection digest and the maintenance trends.
// Only the classes carry docstrings; their attributes have no doc texts.
#include "value_classes.h"

namespace vesk::py {

ClassObject& NativeClass<ReflectionSummary>::object() {
  using T = ReflectionSummary;
  static ValueClass<T> cls{"vesk._core.ReflectionSummary",
                           "Bounded maintenance-time synthesis summary over one cycle.",
                           {
                               field<&T::timestamp>("timestamp"),
                               field<&T::digest>("digest"),
                               field<&T::dominant_phase>("dominant_phase"),
                               field<&T::report>("report"),
                               field<&T::findings>("findings"),
                           }};
  return cls;
}

ClassObject& NativeClass<ReflectionJobReport>::object() {
  using T = ReflectionJobReport;
  static ValueClass<T> cls{"vesk._core.ReflectionJobReport",
                           "Compact report about reflection jobs executed in one cycle.",
                           {
                               field<&T::jobs_run>("jobs_run"),
                               field<&T::blocker_findings>("blocker_findings"),
                               field<&T::contradiction_findings>("contradiction_findings"),
                               field<&T::trend_findings>("trend_findings"),
                               field<&T::total_findings>("total_findings"),
                               field<&T::capped>("capped"),
                           }};
  return cls;
}

ClassObject& NativeClass<ReflectionFinding>::object() {
  using T = ReflectionFinding;
  static ValueClass<T> cls{"vesk._core.ReflectionFinding",
                           "Single bounded reflection finding emitted during maintenance.",
                           {
                               field<&T::kind>("kind"),
                               field<&T::namespace_>("namespace"),
                               field<&T::title>("title"),
                               field<&T::detail>("detail"),
                               field<&T::related_ids>("related_ids"),
                               field<&T::score>("score"),
                               field<&T::severity>("severity"),
                           }};
  return cls;
}

ClassObject& NativeClass<ReflectionDigest>::object() {
  using T = ReflectionDigest;
  static ValueClass<T> cls{"vesk._core.ReflectionDigest",
                           "Aggregated digest across recent reflection summaries.",
                           {
                               field<&T::summary_count>("summary_count"),
                               field<&T::total_findings>("total_findings"),
                               field<&T::high_severity_findings>("high_severity_findings"),
                               field<&T::latest_timestamp>("latest_timestamp"),
                               field<&T::latest_dominant_phase>("latest_dominant_phase"),
                               field<&T::kinds>("kinds"),
                               field<&T::namespaces>("namespaces"),
                               field<&T::top_findings>("top_findings"),
                           }};
  return cls;
}

ClassObject& NativeClass<ReflectionKindSummary>::object() {
  using T = ReflectionKindSummary;
  static ValueClass<T> cls{"vesk._core.ReflectionKindSummary",
                           "Aggregated rollup for one reflection finding kind across recent summaries.",
                           {
                               field<&T::kind>("kind"),
                               field<&T::count>("count"),
                               field<&T::high_severity_count>("high_severity_count"),
                               field<&T::avg_score>("avg_score"),
                           }};
  return cls;
}

ClassObject& NativeClass<MaintenanceTrendSnapshot>::object() {
  using T = MaintenanceTrendSnapshot;
  static ValueClass<T> cls{"vesk._core.MaintenanceTrendSnapshot",
                           "Persisted bounded maintenance trend snapshot for one cycle.",
                           {
                               field<&T::timestamp>("timestamp"),
                               field<&T::total_records>("total_records"),
                               field<&T::records_archived>("records_archived"),
                               field<&T::insights_found>("insights_found"),
                               field<&T::volatile_records>("volatile_records"),
                               field<&T::belief_churn>("belief_churn"),
                               field<&T::causal_rejection_rate>("causal_rejection_rate"),
                               field<&T::policy_suppression_rate>("policy_suppression_rate"),
                               field<&T::feedback_beliefs_touched>("feedback_beliefs_touched"),
                               field<&T::feedback_net_confidence_delta>("feedback_net_confidence_delta"),
                               field<&T::feedback_net_volatility_delta>("feedback_net_volatility_delta"),
                               field<&T::correction_events>("correction_events"),
                               field<&T::cumulative_corrections>("cumulative_corrections"),
                               field<&T::cycle_time_ms>("cycle_time_ms"),
                               field<&T::dominant_phase>("dominant_phase"),
                           }};
  return cls;
}

ClassObject& NativeClass<MaintenanceTrendSummary>::object() {
  using T = MaintenanceTrendSummary;
  static ValueClass<T> cls{"vesk._core.MaintenanceTrendSummary",
                           "Bounded trend summary across recent maintenance cycles.",
                           {
                               field<&T::snapshot_count>("snapshot_count"),
                               field<&T::recent>("recent"),
                               field<&T::avg_belief_churn>("avg_belief_churn"),
                               field<&T::avg_causal_rejection_rate>("avg_causal_rejection_rate"),
                               field<&T::avg_policy_suppression_rate>("avg_policy_suppression_rate"),
                               field<&T::avg_cycle_time_ms>("avg_cycle_time_ms"),
                               field<&T::avg_correction_events>("avg_correction_events"),
                               field<&T::total_corrections_in_window>("total_corrections_in_window"),
                               field<&T::latest_dominant_phase>("latest_dominant_phase"),
                           }};
  return cls;
}

}  // namespace vesk::py
