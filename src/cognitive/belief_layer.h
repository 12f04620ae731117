// The belief layer: claim records grouped into beliefs, each split into
// competing hypotheses (sets of agreeing records), with the winner and how
// settled it is.
//
// The maintenance cycle derives the layer from the records; between cycles
// it is read (recall reranking, explanations, reports) under the main
// object's belief lock. A record reaches its belief through `record_index`
// (record id -> hypothesis id) and the hypothesis' `belief_id`.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/string_hash.h"

namespace vesk {

class EmbeddingStore;

enum class BeliefState : uint8_t {
  Resolved = 0,    // two or more hypotheses, the top one leads clearly
  Unresolved = 1,  // two or more hypotheses without a clear leader
  Singleton = 2,   // exactly one hypothesis, the winner
  Empty = 3,       // no hypothesis yet
};

enum class WorldVerdict : uint8_t { Confirmed = 0, Refuted = 1, EvidenceDebt = 2 };

// How claim records are grouped into beliefs and split into hypotheses.
enum class CoarseKeyMode : uint8_t {
  Standard = 0,
  TopOneTag = 1,
  SemanticOnly = 2,
  TagFamily = 3,
  TagFamilyAdaptive = 4,
  TagFamilyBackoff = 5,
  TagFamilyPairBackoff = 6,
  TagFamilyDenseBackoff = 7,
  DualKey = 8,
  NeighborhoodPool = 9,
  BridgeKey = 10,
  SdrTagPool = 11,
};

struct Belief {
  std::string id;
  std::string key;
  std::vector<std::string> hypothesis_ids;
  std::optional<std::string> winner_id;  // set when Resolved or Singleton
  BeliefState state = BeliefState::Empty;
  float score = 0.0f;
  float confidence = 0.0f;
  float support_mass = 0.0f;
  float conflict_mass = 0.0f;
  float stability = 0.0f;
  float volatility = 0.0f;
  WorldVerdict world_verdict = WorldVerdict::EvidenceDebt;
  double last_updated = 0.0;

  bool operator==(const Belief&) const = default;
};

struct Hypothesis {
  std::string id;
  std::string belief_id;
  std::vector<std::string> prototype_record_ids;
  float score = 0.0f;
  float confidence = 0.0f;
  float support_mass = 0.0f;
  float conflict_mass = 0.0f;
  float recency = 0.0f;
  float consistency = 0.0f;

  bool operator==(const Hypothesis&) const = default;
};

struct BeliefEngine {
  StringKeyMap<Belief> beliefs;          // belief id -> belief
  StringKeyMap<Hypothesis> hypotheses;   // hypothesis id -> hypothesis
  StringMap key_index;                   // claim key -> belief id
  StringMap record_index;                // record id -> hypothesis id
  CoarseKeyMode coarse_key_mode = CoarseKeyMode::Standard;
  std::optional<float> claim_similarity_override;
  std::optional<float> embedding_similarity_override;
  // The store's record embeddings, installed before each belief phase for
  // its similarity comparisons: a view shared with the store (each read takes
  // the embedding store's own read lock), not a copy; null in a fresh or
  // loaded engine. Not persisted.
  const EmbeddingStore* claim_embeddings = nullptr;

  bool operator==(const BeliefEngine&) const = default;
};

// The belief that owns a record (through its hypothesis), or null.
const Belief* belief_for_record(const BeliefEngine& engine, std::string_view record_id);

// The hypothesis holding a record, with its belief (null when that belief is
// missing); none when the record has no hypothesis.
struct BeliefStateOfRecord {
  const Belief* belief = nullptr;
  const Hypothesis* hypothesis = nullptr;
};
std::optional<BeliefStateOfRecord> belief_state_for_record(const BeliefEngine& engine, std::string_view record_id);

}  // namespace vesk
