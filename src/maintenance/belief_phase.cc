#include "maintenance/layer_phases.h"

namespace vesk {

BeliefPhaseReport update_beliefs(BeliefEngine&, const CycleSnapshot&, const CycleSdrMap&) {
  return BeliefPhaseReport{};
}

}  // namespace vesk
