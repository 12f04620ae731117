// The policy layer's pressure and lifecycle reports. Both keep the
// interpreter lock: each is one pass over the policy hints.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "value_classes.h"
#include "vesk_object.h"

namespace vesk::py {
namespace {

std::optional<size_t> size_limit(std::optional<uint64_t> limit) {
  if (!limit) return std::nullopt;
  return static_cast<size_t>(*limit);
}

std::vector<PolicyPressureArea> get_policy_pressure_report(Vesk& self, std::optional<std::string> namespace_,
                                                           std::optional<uint64_t> limit) {
  std::optional<std::string_view> ns;
  if (namespace_) ns = *namespace_;
  return self.get_policy_pressure_report(ns, size_limit(limit));
}
constexpr Method kGetPolicyPressureReport{"Vesk", "get_policy_pressure_report($self, namespace=None, limit=None)",
                                          get_policy_pressure_report};

PolicyLifecycleSummary get_policy_lifecycle_summary(Vesk& self, std::optional<uint64_t> action_limit,
                                                    std::optional<uint64_t> domain_limit) {
  return self.get_policy_lifecycle_summary(size_limit(action_limit), size_limit(domain_limit));
}
constexpr Method kGetPolicyLifecycleSummary{
    "Vesk", "get_policy_lifecycle_summary($self, action_limit=None, domain_limit=None)",
    get_policy_lifecycle_summary};

}  // namespace

MethodRows policy_report_methods() { return {bind<kGetPolicyPressureReport>(), bind<kGetPolicyLifecycleSummary>()}; }

}  // namespace vesk::py
