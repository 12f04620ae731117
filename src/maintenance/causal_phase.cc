#include "maintenance/layer_phases.h"

namespace vesk {

CausalPhaseReport discover_causal_patterns(CausalEngine&, const BeliefEngine&, const CycleSnapshot&) {
  return CausalPhaseReport{};
}

}  // namespace vesk
