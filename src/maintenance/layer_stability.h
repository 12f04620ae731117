// The stability step of a maintenance cycle: how many beliefs, concepts,
// causal patterns and policy hints kept their identity since the previous
// cycle, how many are new and how many are gone.
//
// A layer's id set is the set of keys of its key_index. The previous cycle's
// four sets live in the store object, each behind its own lock, empty at
// open and never saved: the first cycle after an open sees every id as new.
// The cycle holds the four layers' read locks around the call; the call
// read-locks the four previous sets together (belief, concept, causal,
// policy), counts, releases them, then replaces each set under its write lock
// in the same order.
#pragma once

#include "base/guarded.h"
#include "base/string_hash.h"
#include "cognitive/belief_layer.h"
#include "cognitive/causal_layer.h"
#include "cognitive/concept_layer.h"
#include "cognitive/policy_layer.h"
#include "maintenance/cycle_accounting.h"

namespace vesk {

// The id sets of the previous cycle, one per layer.
struct PreviousLayerIds {
  Guarded<StringSet>& beliefs;
  Guarded<StringSet>& concepts;
  Guarded<StringSet>& causal;
  Guarded<StringSet>& policies;
};

// Retained, new and dropped ids per layer, and the churn
// (new + dropped) / max(current, 1) as a 32-bit float: it exceeds 1 when a
// layer loses more ids than it keeps.
LayerStability measure_layer_stability(const BeliefEngine& beliefs, const ConceptEngine& concepts,
                                       const CausalEngine& causal, const PolicyEngine& policies,
                                       PreviousLayerIds previous);

}  // namespace vesk
