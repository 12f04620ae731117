// The stability step of a maintenance cycle: how many beliefs, concepts,
// causal patterns and policy hints kept their identity since the previous
// cycle, how many are new and how many are gone.
//
// The cycle holds the four layers' read locks around the call. The
// comparison with the previous cycle is not kept yet: the counts are 0.
#pragma once

#include "cognitive/belief_layer.h"
#include "cognitive/causal_layer.h"
#include "cognitive/concept_layer.h"
#include "cognitive/policy_layer.h"
#include "maintenance/cycle_accounting.h"

namespace vesk {

LayerStability measure_layer_stability(const BeliefEngine& beliefs, const ConceptEngine& concepts,
                                       const CausalEngine& causal, const PolicyEngine& policies);

}  // namespace vesk
