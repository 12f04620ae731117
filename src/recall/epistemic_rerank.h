// The epistemic rerank: small, bounded nudges of a recall's ranking by the
// cognitive layers.
//
// Up to four passes, in this order, each only when its mode is limited:
//
//   pass     factor of a result's record                          window
//   belief   resolved winner 1.05, resolved loser 0.95,            +-5 %
//            unresolved 0.97, singleton 1.02
//   concept  stable 1.04; candidate with abstraction >= 0.7 1.02   +-4 %
//            (the highest over the concepts listing the record)
//   causal   stable pattern: effect 1.03, cause 1.01 (highest)     +-3 %
//   policy   stable prefer/recommend 1.02, stable avoid 0.99,      +-2 %
//            candidate prefer/recommend with strength >= 0.7 1.01
//            (hints visited by id: the last one listing a record
//            decides whether it is raised or lowered)
//
// A pass multiplies each score by its factor (clamped to the window), sorts
// in the recall order, then pulls back every result that moved more than two
// places from where the pass found it. A pass does nothing for fewer than 4
// results, for a caller's top_k above 20, or when its layer covers none of
// the results. No pass adds or removes a result; drop_losing_hypotheses,
// run in limited belief mode, removes the records whose belief another
// hypothesis won.
//
// The caller holds the read locks of the belief, concept, causal and policy
// layers, in that order, for both operations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "cognitive/belief_layer.h"
#include "cognitive/causal_layer.h"
#include "cognitive/concept_layer.h"
#include "cognitive/policy_layer.h"
#include "model/scored_record.h"
#include "recall/rerank_modes.h"

namespace vesk {

struct RerankContext {
  const BeliefEngine& beliefs;
  const ConceptEngine& concepts;
  const CausalEngine& causal;
  const PolicyEngine& policies;
  BeliefRerankMode belief_mode = BeliefRerankMode::Off;
  ConceptSurfaceMode concept_mode = ConceptSurfaceMode::Off;
  bool causal_on = false;
  bool policy_on = false;
};

inline constexpr size_t kRerankMinResults = 4;
inline constexpr size_t kRerankMaxTopK = 20;
inline constexpr size_t kRerankMaxDisplacement = 2;

void epistemic_rerank(std::vector<ScoredRecord>& results, size_t top_k, const RerankContext& context);

// Removes every result whose belief is Resolved with a winner that is not the
// record's own hypothesis (or no winner at all); the rest keep their order.
void drop_losing_hypotheses(std::vector<ScoredRecord>& results, const BeliefEngine& beliefs);

// One pass: factor[i] for results[i]; window 0.05 for 5 %. A score that is
// negative, infinite or NaN is left as it is. Then the sort and the
// displacement limit. Exposed for tests.
void rerank_pass(std::vector<ScoredRecord>& results, const std::vector<float>& factors, float window);

}  // namespace vesk
