// Small, fully filled values of the two maintenance histories, for the tests
// of their file formats and savers.
#pragma once

#include <cstdint>
#include <string>

#include "cognitive/maintenance_trend_snapshot.h"
#include "cognitive/reflection_summary.h"

namespace vesk::testing {

// Cycle n: every member set, none equal to its default.
inline MaintenanceTrendSnapshot trend_snapshot(uint64_t n) {
  MaintenanceTrendSnapshot s;
  s.timestamp = "2025-06-15T14:0" + std::to_string(n % 10) + ":00.5+00:00";
  s.total_records = 100 + n;
  s.records_archived = n;
  s.insights_found = 2;
  s.volatile_records = 3;
  s.belief_churn = 0.1f;
  s.causal_rejection_rate = 0.25f;
  s.policy_suppression_rate = 0.9f;
  s.feedback_beliefs_touched = 4;
  s.feedback_net_confidence_delta = -0.05f;
  s.feedback_net_volatility_delta = 0.02f;
  s.correction_events = n;
  s.cumulative_corrections = 10 + n;
  s.cycle_time_ms = 12.75;
  s.dominant_phase = "belief";
  return s;
}

inline ReflectionSummary reflection_summary(const std::string& related_id) {
  ReflectionSummary s;
  s.timestamp = "2025-06-15T14:00:00.5+00:00";
  s.digest = "1 finding; dominant phase belief";
  s.dominant_phase = "belief";
  s.report = {.jobs_run = 3,
              .blocker_findings = 1,
              .contradiction_findings = 0,
              .trend_findings = 0,
              .total_findings = 1,
              .capped = false};
  s.findings.push_back({.kind = "repeated_blocker",
                        .namespace_ = "work",
                        .title = "Blocked twice",
                        .detail = "the \"kiln\" task",
                        .related_ids = {related_id},
                        .score = 0.75f,
                        .severity = "high"});
  return s;
}

}  // namespace vesk::testing
