// The concept layer: beliefs that speak about one subject, grouped into
// concept candidates with the records behind them and an abstraction score
// that decides their state.
//
// Rebuilt by every maintenance cycle's concept phase; read between cycles
// (surfacing, recall reranking, reports) under the main object's concept lock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/string_hash.h"
#include "cognitive/surfaced_concept.h"

namespace vesk {

enum class ConceptState : uint8_t { Candidate = 0, Stable = 1, Rejected = 2 };
enum class ConceptSeedMode : uint8_t { Standard = 0, Warmup = 1, Relaxed = 2 };
enum class ConceptSimilarityMode : uint8_t { SdrTanimoto = 0, CanonicalFeature = 1 };
enum class ConceptPartitionMode : uint8_t { Standard = 0, NamespaceOnly = 1 };
enum class ConceptUnionMode : uint8_t { Standard = 0, SingleTagFactDecisionBridge = 1 };

struct ConceptCandidate {
  std::string id;
  std::string key;
  std::string namespace_;
  std::string semantic_type;
  std::vector<std::string> belief_ids;
  std::vector<std::string> record_ids;  // ascending, no repeats
  std::vector<std::string> core_terms;
  std::vector<std::string> shell_terms;
  std::vector<std::string> tags;
  float support_mass = 0.0f;
  float confidence = 0.0f;
  float stability = 0.0f;
  float cohesion = 0.0f;
  float abstraction_score = 0.0f;
  ConceptState state = ConceptState::Candidate;
  double last_updated = 0.0;

  bool operator==(const ConceptCandidate&) const = default;
};

// Derived from the candidates and never persisted: every record listed by a
// Stable candidate, or by a Candidate scoring at least 0.7, with the
// strongest such state (Stable over Candidate). The recall reranking looks
// records up here instead of walking every candidate on every recall.
// `indexed_concepts` is the number of candidates it was built from.
// The index also keeps the layer's surfaced concepts of all namespaces at
// the default limit (concept_surface.h), which the recall annotation would
// otherwise compute again on every recall.
struct ConceptRecordIndex {
  StringKeyMap<ConceptState> strongest_state;
  std::vector<SurfacedConcept> surfaced;
  size_t indexed_concepts = 0;
  bool built = false;
};

struct ConceptEngine {
  StringKeyMap<ConceptCandidate> concepts;  // id -> candidate, all three states
  StringMap key_index;                      // key -> id
  ConceptSeedMode seed_mode = ConceptSeedMode::Standard;
  ConceptSimilarityMode similarity_mode = ConceptSimilarityMode::CanonicalFeature;
  ConceptPartitionMode partition_mode = ConceptPartitionMode::Standard;
  ConceptUnionMode union_mode = ConceptUnionMode::Standard;
  // Rebuilt (index_concept_records) wherever `concepts` is replaced, loaded
  // or purged; not part of equality.
  ConceptRecordIndex record_index;

  bool operator==(const ConceptEngine& o) const {
    return concepts == o.concepts && key_index == o.key_index && seed_mode == o.seed_mode &&
           similarity_mode == o.similarity_mode && partition_mode == o.partition_mode && union_mode == o.union_mode;
  }
};

// Rebuilds the engine's record index from its candidates.
void index_concept_records(ConceptEngine& engine);

// The record index when it matches the candidates, else null (an engine
// whose candidates were set without reindexing).
const ConceptRecordIndex* concept_record_index(const ConceptEngine& engine);

}  // namespace vesk
