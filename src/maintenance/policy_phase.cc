#include "maintenance/layer_phases.h"

namespace vesk {

PolicyPhaseReport derive_policy_hints(PolicyEngine&, const CausalEngine&, const StringKeyMap<ConceptCandidate>&,
                                      const BeliefEngine&, const CycleSnapshot&) {
  return PolicyPhaseReport{};
}

}  // namespace vesk
