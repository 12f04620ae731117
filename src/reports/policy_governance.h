// Governance views of the policy layer: the advisory pressure of the hints
// of each namespace and domain, and the lifecycle of all hints (how many sit
// in each state) in total, per action kind and per domain.
//
// A hint is active when Candidate or Stable. The advisory pressure of an
// area (namespace, domain) is the sum over its active hints of strength times
// the weight of the hint's action kind (prefer 0.75, recommend 0.85,
// verify_first 1.0, avoid 1.3, warn 1.15), in single precision, as are all
// sums and averages here. Orders (stable, NaN-safe): areas by pressure, then
// active hints, descending, then namespace and domain ascending; action kinds
// by total, then average strength, descending, then text ascending. Pure
// reads: the caller holds the policy layer shared (the cognitive read view).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cognitive/policy_layer.h"

namespace vesk {

// The hints of one namespace and domain, and the strongest of them.
struct PolicyPressureArea {
  std::string namespace_;
  std::string domain;
  double advisory_pressure = 0.0;
  uint64_t active_hints = 0;
  uint64_t suppressed_hints = 0;
  uint64_t rejected_hints = 0;
  std::string strongest_hint_id;
  std::string strongest_action_kind;
  double strongest_policy_strength = 0.0;

  bool operator==(const PolicyPressureArea&) const = default;
};

struct PolicyActionSummary {
  std::string action_kind;
  uint64_t total_hints = 0;
  uint64_t stable_hints = 0;
  uint64_t candidate_hints = 0;
  uint64_t suppressed_hints = 0;
  uint64_t rejected_hints = 0;
  double avg_policy_strength = 0.0;
  double avg_risk_score = 0.0;

  bool operator==(const PolicyActionSummary&) const = default;
};

struct PolicyDomainSummary {
  std::string namespace_;
  std::string domain;
  uint64_t total_hints = 0;
  uint64_t active_hints = 0;
  uint64_t stable_hints = 0;
  uint64_t candidate_hints = 0;
  uint64_t suppressed_hints = 0;
  uint64_t rejected_hints = 0;
  double avg_policy_strength = 0.0;
  double avg_risk_score = 0.0;
  double advisory_pressure = 0.0;

  bool operator==(const PolicyDomainSummary&) const = default;
};

struct PolicyLifecycleSummary {
  uint64_t total_hints = 0;
  uint64_t active_hints = 0;
  uint64_t stable_hints = 0;
  uint64_t candidate_hints = 0;
  uint64_t suppressed_hints = 0;
  uint64_t rejected_hints = 0;
  double avg_policy_strength = 0.0;
  double avg_risk_score = 0.0;
  std::vector<PolicyActionSummary> action_summaries;
  std::vector<PolicyDomainSummary> domain_summaries;

  bool operator==(const PolicyLifecycleSummary&) const = default;
};

// "prefer", "recommend", "verify_first", "avoid", "warn".
std::string_view policy_action_kind_text(PolicyActionKind kind);
float policy_action_weight(PolicyActionKind kind);

// The areas of the hints of one namespace (all without one), the strongest
// active hint of each (the smaller id on equal strength; none unless its
// strength is above 0.0), most pressing first; at most `limit` (10 when
// none, at most 25).
std::vector<PolicyPressureArea> policy_pressure_report(const PolicyEngine& policies,
                                                       std::optional<std::string_view> namespace_,
                                                       std::optional<size_t> limit);

// Counts and averages of all hints; per action kind (at most `action_limit`:
// 8 when none, at most 16) and per area (at most `domain_limit`: 12 when
// none, at most 32).
PolicyLifecycleSummary policy_lifecycle_summary(const PolicyEngine& policies, std::optional<size_t> action_limit,
                                                std::optional<size_t> domain_limit);

}  // namespace vesk
