// Clustering of one partition of concept seeds: seeds linked, directly or
// through others, by an edge form a cluster. An edge needs a pair that
// passes the gating rules on record tags (and, with NamespaceOnly
// partitioning, on key tags and semantic types) and is similar enough under
// the engine's similarity mode:
//
//   CanonicalFeature  Jaccard of the feature sets   both non-empty   >= 0.12
//   SdrTanimoto       Tanimoto of the centroids     both non-empty   >= 0.10
//
// Joining uses a union-find over the partition's positions, each find
// halving its path.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "base/string_hash.h"
#include "cognitive/concept_layer.h"
#include "cognitive/concept_seeds.h"

namespace vesk {

// |a n b| / |a u b|; 0 when both are empty.
float term_set_jaccard(const StringSet& a, const StringSet& b);

// The key field split at ',', each piece trimmed of whitespace, empty
// pieces dropped, ASCII letters lower-cased.
StringSet key_tag_set(std::string_view key_tag_field);

float concept_similarity_threshold(ConceptSimilarityMode mode);

// The similarity of two seeds, none when the mode cannot measure it (a
// feature set or centroid is empty).
std::optional<float> concept_seed_similarity(const ConceptSeed& a, const ConceptSeed& b, ConceptSimilarityMode mode);

// Whether the gating rules let a pair (i before j in the partition) become
// an edge, before similarity is consulted.
bool concept_pair_passes_gates(const ConceptSeed& i, const ConceptSeed& j, ConceptPartitionMode partition_mode,
                               ConceptUnionMode union_mode);

// The similarities measured over a phase, gating aside.
struct ConceptPairStats {
  std::vector<float> similarities;
  uint64_t above_threshold = 0;
};

// The clusters of one partition (positions into `seeds`), each in partition
// order; every measured pair is added to `stats`.
std::vector<std::vector<size_t>> cluster_concept_seeds(const ConceptEngine& modes, std::span<const size_t> partition,
                                                       std::span<const ConceptSeed> seeds, ConceptPairStats& stats);

}  // namespace vesk
