#include "report_dicts.h"

#include "binding/dict_builder.h"

namespace vesk::py {
namespace {

PyObject* finding_dict(const ReflectionFinding& f) {
  return DictBuilder()
      .add("kind", f.kind)
      .add("namespace", f.namespace_)
      .add("title", f.title)
      .add("detail", f.detail)
      .add("related_ids", f.related_ids)
      .add("score", f.score)
      .add("severity", f.severity)
      .finish();
}

PyObject* kind_dict(const ReflectionKindSummary& k) {
  return DictBuilder()
      .add("kind", k.kind)
      .add("count", k.count)
      .add("high_severity_count", k.high_severity_count)
      .add("avg_score", k.avg_score)
      .finish();
}

PyObject* snapshot_dict(const MaintenanceTrendSnapshot& s) {
  return DictBuilder()
      .add("timestamp", s.timestamp)
      .add("total_records", s.total_records)
      .add("records_archived", s.records_archived)
      .add("insights_found", s.insights_found)
      .add("volatile_records", s.volatile_records)
      .add("belief_churn", s.belief_churn)
      .add("causal_rejection_rate", s.causal_rejection_rate)
      .add("policy_suppression_rate", s.policy_suppression_rate)
      .add("feedback_beliefs_touched", s.feedback_beliefs_touched)
      .add("feedback_net_confidence_delta", s.feedback_net_confidence_delta)
      .add("feedback_net_volatility_delta", s.feedback_net_volatility_delta)
      .add("correction_events", s.correction_events)
      .add("cumulative_corrections", s.cumulative_corrections)
      .add("cycle_time_ms", s.cycle_time_ms)
      .add("dominant_phase", s.dominant_phase)
      .finish();
}

}  // namespace

PyObject* reflection_finding_list(std::span<const ReflectionFinding> findings) {
  return dict_list(findings, finding_dict);
}

PyObject* reflection_digest_dict(const ReflectionDigest& d) {
  return DictBuilder()
      .add("summary_count", d.summary_count)
      .add("total_findings", d.total_findings)
      .add("high_severity_findings", d.high_severity_findings)
      .add("latest_timestamp", d.latest_timestamp)
      .add("latest_dominant_phase", d.latest_dominant_phase)
      .add_with("kinds", [&] { return dict_list(std::span(d.kinds), kind_dict); })
      .add("namespaces", d.namespaces)
      .add_with("top_findings", [&] { return reflection_finding_list(d.top_findings); })
      .finish();
}

PyObject* correction_entry_dict(const CorrectionLogEntry& e) {
  return DictBuilder()
      .add("timestamp", e.timestamp)
      .add("time_iso", e.time_iso)
      .add("target_kind", e.target_kind)
      .add("target_id", e.target_id)
      .add("operation", e.operation)
      .add("reason", e.reason)
      .add("session_id", e.session_id)
      .finish();
}

PyObject* correction_log_list(std::span<const CorrectionLogEntry> entries) {
  return dict_list(entries, correction_entry_dict);
}

PyObject* maintenance_trend_summary_dict(const MaintenanceTrendSummary& s) {
  return DictBuilder()
      .add("snapshot_count", s.snapshot_count)
      .add("avg_belief_churn", s.avg_belief_churn)
      .add("avg_causal_rejection_rate", s.avg_causal_rejection_rate)
      .add("avg_policy_suppression_rate", s.avg_policy_suppression_rate)
      .add("avg_cycle_time_ms", s.avg_cycle_time_ms)
      .add("avg_correction_events", s.avg_correction_events)
      .add("total_corrections_in_window", s.total_corrections_in_window)
      .add("latest_dominant_phase", s.latest_dominant_phase)
      .add_with("recent", [&] { return dict_list(std::span(s.recent), snapshot_dict); })
      .finish();
}

}  // namespace vesk::py
