// Advisory pressure by area and the lifecycle counts of the policy layer.
#include "reports/policy_governance.h"

#include <algorithm>
#include <array>
#include <map>
#include <utility>

#include "base/merge_sort.h"

namespace vesk {
namespace {

constexpr std::array<std::string_view, 5> kActionTexts = {"prefer", "recommend", "verify_first", "avoid", "warn"};
constexpr std::array<float, 5> kActionWeights = {0.75f, 0.85f, 1.0f, 1.3f, 1.15f};

bool is_active(const PolicyHint& h) { return h.state == PolicyState::Candidate || h.state == PolicyState::Stable; }

size_t capped(std::optional<size_t> limit, size_t fallback, size_t cap) {
  return limit ? std::min(*limit, cap) : fallback;
}

using AreaKey = std::pair<std::string, std::string>;

// Running counts of one group of hints (an action kind or an area).
struct Tally {
  uint64_t total = 0, stable = 0, candidate = 0, suppressed = 0, rejected = 0;
  float strength_sum = 0.0f, risk_sum = 0.0f, pressure = 0.0f;

  void add(const PolicyHint& h) {
    ++total;
    switch (h.state) {
      case PolicyState::Stable: ++stable; break;
      case PolicyState::Candidate: ++candidate; break;
      case PolicyState::Suppressed: ++suppressed; break;
      case PolicyState::Rejected: ++rejected; break;
    }
    strength_sum += h.policy_strength;
    risk_sum += h.risk_score;
    if (is_active(h)) pressure += h.policy_strength * policy_action_weight(h.action_kind);
  }
  float avg_strength() const { return total ? strength_sum / static_cast<float>(total) : 0.0f; }
  float avg_risk() const { return total ? risk_sum / static_cast<float>(total) : 0.0f; }
};

// Pressure, then active hints, descending; then namespace and domain.
template <class Area>
bool area_before(const Area& a, const Area& b) {
  const float pa = static_cast<float>(a.advisory_pressure), pb = static_cast<float>(b.advisory_pressure);
  if (pa > pb) return true;
  if (pb > pa) return false;
  if (a.active_hints != b.active_hints) return a.active_hints > b.active_hints;
  if (a.namespace_ != b.namespace_) return a.namespace_ < b.namespace_;
  return a.domain < b.domain;
}

}  // namespace

std::string_view policy_action_kind_text(PolicyActionKind kind) {
  return kActionTexts[static_cast<size_t>(kind) % kActionTexts.size()];
}

float policy_action_weight(PolicyActionKind kind) {
  return kActionWeights[static_cast<size_t>(kind) % kActionWeights.size()];
}

std::vector<PolicyPressureArea> policy_pressure_report(const PolicyEngine& policies,
                                                       std::optional<std::string_view> namespace_,
                                                       std::optional<size_t> limit) {
  const size_t keep = capped(limit, 10, 25);
  std::map<AreaKey, PolicyPressureArea> areas;
  for (const auto& [id, h] : policies.hints) {
    if (namespace_ && h.namespace_ != *namespace_) continue;
    auto [it, fresh] = areas.try_emplace(AreaKey{h.namespace_, h.domain});
    PolicyPressureArea& a = it->second;
    if (fresh) {
      a.namespace_ = h.namespace_;
      a.domain = h.domain;
    }
    if (h.state == PolicyState::Suppressed) {
      ++a.suppressed_hints;
      continue;
    }
    if (h.state == PolicyState::Rejected) {
      ++a.rejected_hints;
      continue;
    }
    ++a.active_hints;
    // The field is wider than the sum: add in single precision.
    a.advisory_pressure =
        static_cast<float>(a.advisory_pressure) + h.policy_strength * policy_action_weight(h.action_kind);
    const float strongest = static_cast<float>(a.strongest_policy_strength);
    if (h.policy_strength > strongest || (h.policy_strength == strongest && h.id < a.strongest_hint_id)) {
      a.strongest_hint_id = h.id;
      a.strongest_action_kind = std::string(policy_action_kind_text(h.action_kind));
      a.strongest_policy_strength = h.policy_strength;
    }
  }
  std::vector<PolicyPressureArea> out;
  out.reserve(areas.size());
  for (auto& [key, a] : areas) out.push_back(std::move(a));
  merge_sort(out, area_before<PolicyPressureArea>);
  if (out.size() > keep) out.resize(keep);
  return out;
}

PolicyLifecycleSummary policy_lifecycle_summary(const PolicyEngine& policies, std::optional<size_t> action_limit,
                                                std::optional<size_t> domain_limit) {
  const size_t action_keep = capped(action_limit, 8, 16);
  const size_t domain_keep = capped(domain_limit, 12, 32);
  PolicyLifecycleSummary s;
  Tally all;
  std::map<std::string_view, Tally> by_action;
  std::map<AreaKey, Tally> by_area;
  for (const auto& [id, h] : policies.hints) {
    all.add(h);
    by_action[policy_action_kind_text(h.action_kind)].add(h);
    by_area[AreaKey{h.namespace_, h.domain}].add(h);
  }
  s.total_hints = all.total;
  s.stable_hints = all.stable;
  s.candidate_hints = all.candidate;
  s.suppressed_hints = all.suppressed;
  s.rejected_hints = all.rejected;
  s.active_hints = all.stable + all.candidate;
  s.avg_policy_strength = all.avg_strength();
  s.avg_risk_score = all.avg_risk();

  for (const auto& [kind, t] : by_action) {
    PolicyActionSummary a;
    a.action_kind = std::string(kind);
    a.total_hints = t.total;
    a.stable_hints = t.stable;
    a.candidate_hints = t.candidate;
    a.suppressed_hints = t.suppressed;
    a.rejected_hints = t.rejected;
    a.avg_policy_strength = t.avg_strength();
    a.avg_risk_score = t.avg_risk();
    s.action_summaries.push_back(std::move(a));
  }
  // The map already holds the kinds in text order, which the stable sort
  // keeps for ties.
  merge_sort(s.action_summaries, [](const PolicyActionSummary& a, const PolicyActionSummary& b) {
    if (a.total_hints != b.total_hints) return a.total_hints > b.total_hints;
    return static_cast<float>(a.avg_policy_strength) > static_cast<float>(b.avg_policy_strength);
  });
  if (s.action_summaries.size() > action_keep) s.action_summaries.resize(action_keep);

  for (const auto& [key, t] : by_area) {
    PolicyDomainSummary d;
    d.namespace_ = key.first;
    d.domain = key.second;
    d.total_hints = t.total;
    d.stable_hints = t.stable;
    d.candidate_hints = t.candidate;
    d.active_hints = t.stable + t.candidate;
    d.suppressed_hints = t.suppressed;
    d.rejected_hints = t.rejected;
    d.avg_policy_strength = t.avg_strength();
    d.avg_risk_score = t.avg_risk();
    d.advisory_pressure = t.pressure;
    s.domain_summaries.push_back(std::move(d));
  }
  merge_sort(s.domain_summaries, area_before<PolicyDomainSummary>);
  if (s.domain_summaries.size() > domain_keep) s.domain_summaries.resize(domain_keep);
  return s;
}

}  // namespace vesk
