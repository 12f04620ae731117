// Corrections of the cognitive layers: deprecate a belief, retract a policy
// hint, invalidate (or retract) a causal pattern, each with a default reason
// or the caller's. The interpreter lock is kept for the whole call, file save
// included.
#include <string>

#include "vesk_object.h"

namespace vesk::py {
namespace {

Result<bool> deprecate_belief(Vesk& self, std::string belief_id) {
  return self.deprecate_belief(belief_id, "manual_deprecation");
}
constexpr Method kDeprecateBelief{"Vesk", "deprecate_belief($self, belief_id)", deprecate_belief};

Result<bool> deprecate_belief_with_reason(Vesk& self, std::string belief_id, std::string reason) {
  return self.deprecate_belief(belief_id, reason);
}
constexpr Method kDeprecateBeliefWithReason{"Vesk", "deprecate_belief_with_reason($self, belief_id, reason)",
                                            deprecate_belief_with_reason};

Result<bool> retract_policy_hint(Vesk& self, std::string hint_id) {
  return self.retract_policy_hint(hint_id, "manual_retraction");
}
constexpr Method kRetractPolicyHint{"Vesk", "retract_policy_hint($self, hint_id)", retract_policy_hint};

Result<bool> retract_policy_hint_with_reason(Vesk& self, std::string hint_id, std::string reason) {
  return self.retract_policy_hint(hint_id, reason);
}
constexpr Method kRetractPolicyHintWithReason{"Vesk", "retract_policy_hint_with_reason($self, hint_id, reason)",
                                              retract_policy_hint_with_reason};

Result<bool> invalidate_causal_pattern(Vesk& self, std::string pattern_id) {
  return self.invalidate_causal_pattern(pattern_id, "manual_invalidation");
}
constexpr Method kInvalidateCausalPattern{"Vesk", "invalidate_causal_pattern($self, pattern_id)",
                                          invalidate_causal_pattern};

Result<bool> invalidate_causal_pattern_with_reason(Vesk& self, std::string pattern_id, std::string reason) {
  return self.invalidate_causal_pattern(pattern_id, reason);
}
constexpr Method kInvalidateCausalPatternWithReason{
    "Vesk", "invalidate_causal_pattern_with_reason($self, pattern_id, reason)", invalidate_causal_pattern_with_reason};

// Retracting a causal pattern is invalidating it; only the default reason
// differs.
Result<bool> retract_causal_pattern(Vesk& self, std::string pattern_id) {
  return self.invalidate_causal_pattern(pattern_id, "manual_retraction");
}
constexpr Method kRetractCausalPattern{"Vesk", "retract_causal_pattern($self, pattern_id)", retract_causal_pattern};

Result<bool> retract_causal_pattern_with_reason(Vesk& self, std::string pattern_id, std::string reason) {
  return self.invalidate_causal_pattern(pattern_id, reason);
}
constexpr Method kRetractCausalPatternWithReason{
    "Vesk", "retract_causal_pattern_with_reason($self, pattern_id, reason)", retract_causal_pattern_with_reason};

}  // namespace

MethodRows correction_methods() {
  return {bind<kDeprecateBelief>(),          bind<kDeprecateBeliefWithReason>(),
          bind<kRetractPolicyHint>(),        bind<kRetractPolicyHintWithReason>(),
          bind<kInvalidateCausalPattern>(),  bind<kInvalidateCausalPatternWithReason>(),
          bind<kRetractCausalPattern>(),     bind<kRetractCausalPatternWithReason>()};
}

}  // namespace vesk::py
