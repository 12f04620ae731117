// Small, fully filled values of the four cognitive layers, the co-recall
// graph and the recall replay history, for the tests of their files: every
// member set and none at its default, the modes the files carry through at
// values no fresh engine has.
#pragma once

#include <cstdint>
#include <limits>
#include <string>

#include "cognitive/belief_layer.h"
#include "cognitive/causal_layer.h"
#include "cognitive/concept_layer.h"
#include "cognitive/policy_layer.h"
#include "cognitive/recall_replay_baseline.h"
#include "cognitive/topology.h"

namespace vesk::testing {

inline Belief belief(int n) {
  const std::string id = "belief-" + std::to_string(n);
  return Belief{.id = id,
                .key = "kiln|temperature|" + std::to_string(n),
                .hypothesis_ids = {id + "-h1", id + "-h2"},
                .winner_id = id + "-h1",
                .state = BeliefState::Resolved,
                .score = 0.75f,
                .confidence = 0.6f,
                .support_mass = 3.5f,
                .conflict_mass = 1.25f,
                .stability = 0.8f,
                .volatility = 0.1f,
                .world_verdict = WorldVerdict::Confirmed,
                .last_updated = 1750000000.125 + n};
}

inline Hypothesis hypothesis(const std::string& belief_id, int n) {
  return Hypothesis{.id = belief_id + "-h" + std::to_string(n),
                    .belief_id = belief_id,
                    .prototype_record_ids = {"aaaaaaaaaaa" + std::to_string(n % 10), "bbbbbbbbbbbb"},
                    .score = 0.5f,
                    .confidence = 0.25f,
                    .support_mass = 2.0f,
                    .conflict_mass = 0.5f,
                    .recency = 0.9f,
                    .consistency = 0.7f};
}

// n beliefs of two hypotheses each, with their indexes.
inline BeliefEngine belief_engine(int n) {
  BeliefEngine e;
  for (int i = 1; i <= n; ++i) {
    Belief b = belief(i);
    for (int h = 1; h <= 2; ++h) {
      Hypothesis hyp = hypothesis(b.id, h);
      e.record_index[hyp.id + "-record"] = hyp.id;
      e.hypotheses[hyp.id] = hyp;
    }
    e.key_index[b.key] = b.id;
    e.beliefs[b.id] = b;
  }
  e.coarse_key_mode = CoarseKeyMode::SdrTagPool;
  e.claim_similarity_override = 0.82f;
  e.embedding_similarity_override = std::nullopt;
  return e;
}

inline ConceptEngine concept_engine() {
  ConceptEngine e;
  e.concepts["concept-1"] = ConceptCandidate{.id = "concept-1",
                                             .key = "work|fact|kiln",
                                             .namespace_ = "work",
                                             .semantic_type = "fact",
                                             .belief_ids = {"belief-1", "belief-2"},
                                             .record_ids = {"aaaaaaaaaaa1", "aaaaaaaaaaa2"},
                                             .core_terms = {"kiln", "firing"},
                                             .shell_terms = {"glaze"},
                                             .tags = {"pottery"},
                                             .support_mass = 4.0f,
                                             .confidence = 0.7f,
                                             .stability = 0.6f,
                                             .cohesion = 0.55f,
                                             .abstraction_score = 0.45f,
                                             .state = ConceptState::Stable,
                                             .last_updated = 1750000000.5};
  e.key_index["work|fact|kiln"] = "concept-1";
  e.seed_mode = ConceptSeedMode::Relaxed;
  e.similarity_mode = ConceptSimilarityMode::SdrTanimoto;
  e.partition_mode = ConceptPartitionMode::NamespaceOnly;
  e.union_mode = ConceptUnionMode::SingleTagFactDecisionBridge;
  return e;
}

inline CausalPattern causal_pattern(const std::string& id, bool invalidated) {
  CausalPattern p{.id = id,
                  .key = "work|" + id,
                  .namespace_ = "work",
                  .cause_belief_ids = {"belief-1"},
                  .effect_belief_ids = {"belief-2"},
                  .cause_record_ids = {"aaaaaaaaaaa1"},
                  .effect_record_ids = {"aaaaaaaaaaa2", "aaaaaaaaaaa3"},
                  .support_count = 5,
                  .explicit_support_count = 2,
                  .temporal_support_count = 3,
                  .unique_temporal_windows = 4,
                  .effect_record_signature_variants = 6,
                  .positive_effect_signals = 7,
                  .negative_effect_signals = 8,
                  .counterevidence = 1,
                  .explicit_support_total_for_cause = 9,
                  .explicit_effect_variants_for_cause = 10,
                  .transition_lift = 1.5f,
                  .temporal_consistency = 0.75f,
                  .outcome_stability = 0.625f,
                  .causal_strength = 0.5f,
                  .state = CausalState::Stable,
                  .invalidation_reason = std::nullopt,
                  .invalidated_at = std::nullopt,
                  .last_updated = 1750000001.25};
  if (invalidated) {
    p.state = CausalState::Invalidated;
    p.invalidation_reason = "contradicted by \"outcome\"";
    p.invalidated_at = 1750000100.5;
  }
  return p;
}

inline CausalEngine causal_engine() {
  CausalEngine e;
  e.patterns["cp-1"] = causal_pattern("cp-1", false);
  e.patterns["cp-2"] = causal_pattern("cp-2", true);
  e.key_index["work|cp-1"] = "cp-1";
  e.key_index["work|cp-2"] = "cp-2";
  e.temporal_budget_mode = CausalTemporalBudgetMode::NearbySuccessors;
  e.evidence_mode = CausalEvidenceMode::ExplicitTrusted;
  e.last_corpus_fingerprint = std::numeric_limits<uint64_t>::max();
  e.last_edges_found = 11;
  e.last_explicit_edges_found = 4;
  e.last_temporal_edges_found = 7;
  return e;
}

inline PolicyEngine policy_engine() {
  PolicyEngine e;
  e.hints["ph-1"] = PolicyHint{.id = "ph-1",
                               .key = "work|deploy|verify",
                               .namespace_ = "work",
                               .domain = "deploy",
                               .action_kind = PolicyActionKind::VerifyFirst,
                               .recommendation = "Check the smoke tests before a deploy",
                               .trigger_causal_ids = {"cp-1"},
                               .trigger_concept_ids = {"concept-1"},
                               .trigger_belief_ids = {"belief-1"},
                               .supporting_record_ids = {"aaaaaaaaaaa2"},
                               .cause_record_ids = {"aaaaaaaaaaa1"},
                               .confidence = 0.65f,
                               .utility_score = 0.4f,
                               .risk_score = 0.3f,
                               .policy_strength = 0.2f,
                               .state = PolicyState::Suppressed,
                               .last_updated = 1750000002.75,
                               .evidence_source_floor = "inferred"};
  e.key_index["work|deploy|verify"] = "ph-1";
  return e;
}

inline RecallReplayBaseline replay_baseline(int n, const std::string& ranked_id = "aaaaaaaaaaa1") {
  std::string hex = std::to_string(n);
  hex.insert(0, 32 - hex.size(), '0');
  return RecallReplayBaseline{.trace_id = "mem_" + hex,
                              .query = "kiln temperature " + std::to_string(n),
                              .top_k = 5,
                              .min_strength = 0.1f,
                              .expand_connections = true,
                              .namespaces = {"default", "work"},
                              .ranked = {{ranked_id, 0.9f}, {"bbbbbbbbbbbb", 0.45f}}};
}

}  // namespace vesk::testing
