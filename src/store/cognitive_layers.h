// CognitiveLayers: the derived layers of an open store (beliefs, concepts,
// causal patterns, policy hints), the co-recall graph and the state of the
// passes that feed them. Loaded at open from their files; recall reads them
// to rerank.
//
// Locks: belief -> concept -> causal -> policy (store/lock_order.h), after
// the record and index locks: recall releases those first, the explained
// recall keeps them so that its items see the state its runs saw; the
// co-recall graph's lock only with no other part held.
#pragma once

#include <atomic>
#include <cstdint>

#include "base/guarded.h"
#include "cognitive/belief_layer.h"
#include "cognitive/causal_layer.h"
#include "cognitive/concept_layer.h"
#include "cognitive/policy_layer.h"
#include "cognitive/topology.h"
#include "maintenance/experience_item.h"
#include "maintenance/plasticity_guards.h"
#include "store/lock_order.h"

namespace vesk {

// State of passes whose subsystems are not built yet; each is the empty state
// a store opens with.
struct EpistemicRuntime {};

struct CognitiveLayers {
  Guarded<BeliefEngine> beliefs{lock_order::kBeliefs};
  Guarded<ConceptEngine> concepts{lock_order::kConcepts};
  Guarded<CausalEngine> causal{lock_order::kCausal};
  Guarded<PolicyEngine> policies{lock_order::kPolicies};
  // The co-recall graph, behind its own lock.
  PlasticityState plasticity;
  Guarded<EpistemicRuntime> epistemic{lock_order::kEpistemic};
  MutexGuarded<ExperienceQueue> experience_queue{lock_order::kExperience};
  // The guards of the experience intake (plasticity_guards.h): "off" and
  // the default settings at open; no operation changes them.
  std::atomic<uint8_t> plasticity_mode{static_cast<uint8_t>(PlasticityMode::Off)};
  Guarded<PlasticitySettings> plasticity_settings{lock_order::kPlasticitySettings};
  PlasticityCounters plasticity_counters;
};

}  // namespace vesk
