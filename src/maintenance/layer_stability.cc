#include "maintenance/layer_stability.h"

namespace vesk {

LayerStability measure_layer_stability(const BeliefEngine&, const ConceptEngine&, const CausalEngine&,
                                       const PolicyEngine&) {
  return LayerStability{};
}

}  // namespace vesk
