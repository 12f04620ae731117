#include "maintenance/layer_phases.h"

namespace vesk {

ConceptPhaseReport discover_concepts(ConceptEngine&, const BeliefEngine&, const CycleSnapshot&,
                                     const CycleSdrMap&) {
  return ConceptPhaseReport{};
}

}  // namespace vesk
