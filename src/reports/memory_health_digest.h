// The memory health digest: one page of the store's health, gathered from the
// startup report, salience, reflection, the belief and policy layers, the
// corrections and the maintenance trend, with the issues an operator should
// review first.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vesk {

// One thing to look at: what kind of issue, on which target, how pressing.
struct OperatorReviewIssue {
  std::string kind;
  std::string target_id;
  std::string namespace_;
  std::string title;
  double score = 0.0;
  std::string severity;

  bool operator==(const OperatorReviewIssue&) const = default;
};

struct MemoryHealthDigest {
  uint64_t total_records = 0;
  bool startup_has_recovery_warnings = false;
  uint64_t high_salience_record_count = 0;
  double avg_salience = 0.0;
  double max_salience = 0.0;
  uint64_t reflection_summary_count = 0;
  uint64_t reflection_high_severity_findings = 0;
  uint64_t contradiction_cluster_count = 0;
  uint64_t high_volatility_belief_count = 0;
  uint64_t low_stability_belief_count = 0;
  uint64_t recent_correction_count = 0;
  uint64_t suppressed_policy_hint_count = 0;
  uint64_t rejected_policy_hint_count = 0;
  uint64_t policy_pressure_area_count = 0;
  std::string maintenance_trend_direction;
  std::string latest_dominant_phase;
  std::vector<OperatorReviewIssue> top_issues;

  bool operator==(const MemoryHealthDigest&) const = default;
};

}  // namespace vesk
