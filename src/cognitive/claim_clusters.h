// The first half of the belief phase: claim records, their key groups, and
// the similarity split of each group into the final claim groups that the
// second half turns into beliefs (belief_phase.h).
//
// A group is split only when it has two or more records and similarity data
// exists (an SDR map that is not empty, or an embedding threshold set and
// embeddings stored). Every split rule runs one union-find over the group's
// records numbered in group order: pairs (i, j), i < j, visited by i then j;
// finding halves the path, joining points i's representative at j's. The pair
// rule by mode:
//
//   cluster_claims (Standard, TopOneTag, SemanticOnly, TagFamily*):
//     SDR Tanimoto >= threshold (both ids in the SDR map), or embedding cosine
//     >= the embedding threshold (both ids embedded, threshold set)
//   DualKey, NeighborhoodPool: i has an SDR and tags; j carries one of i's
//     tags; Tanimoto >= threshold
//   BridgeKey: i has an SDR; the two share a canonical tag; Tanimoto >= threshold
//   SdrTagPool: i has an SDR; Tanimoto of the tag SDRs >= 0.08 and of the
//     content SDRs >= threshold
//
// The SDR threshold is the engine's claim_similarity_override, else 0.1
// (DualKey, SdrTagPool), 0.08 (NeighborhoodPool) or 0.15. Afterwards
// TagFamilyAdaptive splits again at 0.1 when nothing clustered, and the
// backoff modes keep a group whole when it fell apart into single records
// (never for the family "alerts"). One cluster keeps the group key; several
// are keyed "{key}#{index}", single records included.
//
// The pair rules are quadratic in the group; each pair is skipped when its
// two records are already in one set, and a Tanimoto is bounded by the two
// sizes (min / max) before the lists are merged. Neither changes the result.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/string_hash.h"
#include "cognitive/belief_layer.h"
#include "cognitive/claim_keys.h"
#include "index/sdr_encoder.h"
#include "model/record_map.h"

namespace vesk {

using ClaimSdrMap = StringKeyMap<SharedSdr>;

// Work done by the pair rules of one phase.
struct ClaimPairCounts {
  uint64_t measured = 0;  // pairs whose similarity was computed
  uint64_t skipped = 0;   // pairs already joined, or ruled out by the size bound

  bool operator==(const ClaimPairCounts&) const = default;
};

// |A n B| / (|A| + |B| - |A n B|) over two ascending lists; 0 when the
// denominator is 0.
float claim_tanimoto(const Sdr& a, const Sdr& b);

// (u . v) / (|u| |v|); 0 when the lengths differ, a vector is empty or a norm
// is 0.
float embedding_cosine(std::span<const float> u, std::span<const float> v);

// The default split. `embeddings` null (or empty) turns the embedding test off.
std::vector<ClaimGroup> cluster_claims(const ClaimGroup& group, const ClaimSdrMap& sdrs,
                                       const EmbeddingStore* embeddings, float threshold, float embedding_threshold,
                                       ClaimPairCounts* counts = nullptr);

// Steps 1 to 4: the claim records of the snapshot keyed by the engine's mode,
// and every key group split into final claim groups.
ClaimGroups final_claim_groups(const BeliefEngine& engine, const RecordMap& records, const ClaimSdrMap& sdrs,
                               ClaimPairCounts* counts = nullptr);

}  // namespace vesk
