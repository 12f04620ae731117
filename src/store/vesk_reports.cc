// The foundations the reports stand on: the cognitive read view, the
// snapshot lists of the policy and causal layers, the correction log; and
// the policy layer's pressure and lifecycle reports.
#include <cstdint>
#include <vector>

#include "reports/correction_log.h"
#include "reports/policy_governance.h"
#include "store/vesk.h"

namespace vesk {

CognitiveReadView Vesk::cognitive_read_view() const {
  return CognitiveReadView(records_.records, layers_.beliefs, layers_.concepts, layers_.causal, layers_.policies,
                           recall_.concept_surface, static_cast<uint8_t>(flags_.concept_surface.load()));
}

std::vector<PolicyHint> Vesk::list_policy_hints() const {
  const CognitiveReadView view = cognitive_read_view();
  std::vector<PolicyHint> out;
  out.reserve(view.policies().hints.size());
  for (const auto& [id, hint] : view.policies().hints) out.push_back(hint);
  return out;
}

std::vector<CausalPattern> Vesk::list_causal_patterns() const {
  const CognitiveReadView view = cognitive_read_view();
  std::vector<CausalPattern> out;
  out.reserve(view.causal().patterns.size());
  for (const auto& [id, pattern] : view.causal().patterns) out.push_back(pattern);
  return out;
}

std::vector<CorrectionLogEntry> Vesk::read_correction_log() const {
  if (!audit_ || !audit_->enabled()) return {};
  return vesk::read_correction_log(env_, audit_->path(), key_.get());
}

std::vector<PolicyPressureArea> Vesk::get_policy_pressure_report(std::optional<std::string_view> namespace_,
                                                                 std::optional<size_t> limit) const {
  const CognitiveReadView view = cognitive_read_view();
  return policy_pressure_report(view.policies(), namespace_, limit);
}

PolicyLifecycleSummary Vesk::get_policy_lifecycle_summary(std::optional<size_t> action_limit,
                                                          std::optional<size_t> domain_limit) const {
  const CognitiveReadView view = cognitive_read_view();
  return policy_lifecycle_summary(view.policies(), action_limit, domain_limit);
}

}  // namespace vesk
