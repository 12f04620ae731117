// Namespace governance status.
#include "reports/namespace_governance.h"

#include <string_view>
#include <utility>

namespace vesk {

void tally_namespace_beliefs(const BeliefEngine& beliefs, GovernanceTallies& tallies) {
  if (tallies.empty()) return;
  for (const auto& [id, b] : beliefs.beliefs) {
    const std::string_view key = b.key;
    // The write path keeps ':' out of record namespaces, but every prefix
    // that ends before a ':' is tried, so the rule holds for any name.
    for (size_t at = key.find(':'); at != std::string_view::npos; at = key.find(':', at + 1)) {
      auto it = tallies.find(key.substr(0, at));
      if (it == tallies.end()) continue;
      NamespaceGovernanceStatus& s = it->second;
      ++s.belief_count;
      if (b.volatility >= 0.2f) ++s.high_volatility_belief_count;
      if (b.stability <= 1.0f) ++s.low_stability_belief_count;
    }
  }
}

std::vector<NamespaceGovernanceStatus> finish_governance_status(GovernanceTallies tallies,
                                                                const std::optional<std::string>& last_cycle,
                                                                const std::optional<std::string>& last_phase) {
  std::vector<NamespaceGovernanceStatus> out;
  out.reserve(tallies.size());
  for (auto& [ns, s] : tallies) {
    s.namespace_ = ns;
    s.correction_density =
        s.record_count == 0 ? 0.0f : static_cast<float>(s.correction_count) / static_cast<float>(s.record_count);
    s.instability_score = 1.5f * static_cast<float>(s.high_volatility_belief_count) +
                          1.2f * static_cast<float>(s.low_stability_belief_count) + 3.0f * s.correction_density +
                          0.8f * static_cast<float>(s.policy_pressure_area_count);
    s.instability_level = s.instability_score >= 4.0f ? "high" : s.instability_score >= 1.8f ? "medium" : "low";
    s.last_maintenance_cycle = last_cycle;
    s.latest_dominant_phase = last_phase.value_or("none");
    out.push_back(std::move(s));
  }
  return out;
}

}  // namespace vesk
