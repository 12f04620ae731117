// Governance views of the policy layer: the advisory pressure of the hints
// of each namespace and domain, and the lifecycle of all hints (how many sit
// in each state) in total, per action kind and per domain.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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

}  // namespace vesk
