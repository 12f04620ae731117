// The four layer phases of a maintenance cycle: each rebuilds one cognitive
// layer from the cycle snapshot and reports what it found.
//
//   update_beliefs            belief layer          snapshot, cycle SDRs
//   discover_concepts         concept layer         beliefs, snapshot, cycle SDRs
//   discover_causal_patterns  causal layer          beliefs, snapshot
//   derive_policy_hints       policy layer          causal patterns, concepts,
//                                                   beliefs, snapshot
//
// Each changes its own engine in place and only reads the others; the cycle
// holds its engine's write lock and the others' read locks around the call
// (store/lock_order.h), and saves the layer's file afterwards. None fails.
//
// The belief and concept phases are built (belief_phase.cc,
// concept_phase.cc); the other two leave their engines as they are and
// return empty reports.
#pragma once

#include "base/env.h"
#include "base/string_hash.h"
#include "cognitive/belief_layer.h"
#include "cognitive/causal_layer.h"
#include "cognitive/claim_clusters.h"
#include "cognitive/concept_layer.h"
#include "cognitive/policy_layer.h"
#include "maintenance/cycle_snapshot.h"
#include "maintenance/phase_reports.h"

namespace vesk {

// Groups the claim records of the snapshot by claim key, splits each group by
// similarity (cognitive/claim_clusters.h), finds or creates the belief of each
// final group of two or more records, splits it into hypotheses
// (cognitive/belief_hypotheses.h), resolves it, and deletes the beliefs whose
// keys were not seen. `env` gives the time and new belief ids; `pairs`, when
// given, receives the work of the similarity split.
BeliefPhaseReport update_beliefs(BeliefEngine& beliefs, const CycleSnapshot& snapshot, const CycleSdrMap& sdrs,
                                 Env& env, ClaimPairCounts* pairs = nullptr);

// Replaces the concept layer's candidates with those the stable beliefs now
// support (cognitive/concept_seeds.h, concept_clustering.h,
// concept_candidates.h); `env` gives the candidates' build time.
ConceptPhaseReport discover_concepts(ConceptEngine& concepts, const BeliefEngine& beliefs,
                                     const CycleSnapshot& snapshot, const CycleSdrMap& sdrs, Env& env);

CausalPhaseReport discover_causal_patterns(CausalEngine& causal, const BeliefEngine& beliefs,
                                           const CycleSnapshot& snapshot);

PolicyPhaseReport derive_policy_hints(PolicyEngine& policies, const CausalEngine& causal,
                                      const StringKeyMap<ConceptCandidate>& concepts, const BeliefEngine& beliefs,
                                      const CycleSnapshot& snapshot);

}  // namespace vesk
