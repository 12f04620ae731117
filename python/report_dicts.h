// Dict forms of the reports kept beside the layers: reflection findings and
// digests, correction log entries and the maintenance trend summary. Keys in
// this order:
//
//   reflection finding    kind namespace title detail related_ids score
//                         severity
//   reflection digest     summary_count total_findings high_severity_findings
//                         latest_timestamp latest_dominant_phase kinds
//                         namespaces top_findings
//     kind row            kind count high_severity_count avg_score
//   correction entry      timestamp time_iso target_kind target_id operation
//                         reason session_id
//   trend summary         snapshot_count avg_belief_churn
//                         avg_causal_rejection_rate
//                         avg_policy_suppression_rate avg_cycle_time_ms
//                         avg_correction_events total_corrections_in_window
//                         latest_dominant_phase recent
//     trend snapshot      timestamp total_records records_archived
//                         insights_found volatile_records belief_churn
//                         causal_rejection_rate policy_suppression_rate
//                         feedback_beliefs_touched
//                         feedback_net_confidence_delta
//                         feedback_net_volatility_delta correction_events
//                         cumulative_corrections cycle_time_ms dominant_phase
//
// The list forms hold one dict per item in stored order. Each returns a new
// object, or null with the interpreter's error set.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <span>

#include "audit/correction_log_entry.h"
#include "cognitive/reflection_summary.h"
#include "maintenance/maintenance_trend_summary.h"
#include "reports/reflection_digest.h"

namespace vesk::py {

PyObject* reflection_finding_list(std::span<const ReflectionFinding> findings);
PyObject* reflection_digest_dict(const ReflectionDigest& digest);
PyObject* correction_entry_dict(const CorrectionLogEntry& entry);
PyObject* correction_log_list(std::span<const CorrectionLogEntry> entries);
PyObject* maintenance_trend_summary_dict(const MaintenanceTrendSummary& summary);

}  // namespace vesk::py
