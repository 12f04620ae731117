// CognitiveReadView: one report's consistent look at the record map and the
// four cognitive layers.
//
// The view holds shared locks on all five for its whole life, taken in the
// fixed order records, beliefs, concepts, causal patterns, policy hints (the
// order of every reader of several layers, so views never deadlock with one
// another) and released together when it dies. Writers of any of the five
// wait meanwhile. It owns nothing: it borrows the locks and the concept
// surface counters of the store; a holder may add to the counters through
// it, and nothing else is written through it.
//
// The locks are fair to waiting writers: a holder must not ask again for a
// shared lock it already holds through the view.
#pragma once

#include <cstdint>

#include "base/guarded.h"
#include "cognitive/belief_layer.h"
#include "cognitive/causal_layer.h"
#include "cognitive/concept_layer.h"
#include "cognitive/concept_surface_counters.h"
#include "cognitive/policy_layer.h"
#include "model/record_map.h"

namespace vesk {

class CognitiveReadView {
 public:
  // Takes the five shared locks in order; blocks while a writer holds one.
  // `stored_mode` is the store's concept surface mode byte: 1 (inspect) and 2
  // (limited) are kept, every other value reads as 0 (off).
  CognitiveReadView(const Guarded<RecordMap>& records, const Guarded<BeliefEngine>& beliefs,
                    const Guarded<ConceptEngine>& concepts, const Guarded<CausalEngine>& causal,
                    const Guarded<PolicyEngine>& policies, ConceptSurfaceCounters& counters, uint8_t stored_mode);

  CognitiveReadView(const CognitiveReadView&) = delete;
  CognitiveReadView& operator=(const CognitiveReadView&) = delete;

  const RecordMap& records() const { return *records_; }
  const BeliefEngine& beliefs() const { return *beliefs_; }
  const ConceptEngine& concepts() const { return *concepts_; }
  const CausalEngine& causal() const { return *causal_; }
  const PolicyEngine& policies() const { return *policies_; }

  // The concept surface counters of the store.
  ConceptSurfaceCounters& counters() const { return counters_; }
  // 0 off, 1 inspect, 2 limited.
  uint8_t concept_surface_mode() const { return mode_; }

 private:
  // Declared in lock order: members are built, and so locked, in this order.
  Guarded<RecordMap>::ReadHandle records_;
  Guarded<BeliefEngine>::ReadHandle beliefs_;
  Guarded<ConceptEngine>::ReadHandle concepts_;
  Guarded<CausalEngine>::ReadHandle causal_;
  Guarded<PolicyEngine>::ReadHandle policies_;
  ConceptSurfaceCounters& counters_;
  uint8_t mode_;
};

}  // namespace vesk
