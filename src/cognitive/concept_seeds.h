// The seeds of the concept phase: the settled, stable and confident beliefs,
// each with the data clustering and candidate building compare, computed
// once per phase and then only looked up.
//
// A belief key is "namespace:tags:semantic_type" or "namespace:semantic_type",
// either possibly followed by "#" and a number.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/string_hash.h"
#include "cognitive/belief_layer.h"
#include "cognitive/concept_layer.h"
#include "index/sdr_encoder.h"
#include "model/record_map.h"

namespace vesk {

// The most seeds of one partition that reach clustering.
inline constexpr size_t MAX_PARTITION_SIZE = 80;

// The ascending union of many SDRs through a map of all 65536 positions: the
// cost is the positions added plus a scan of the words touched, where
// sorting the concatenation would cost its length times its logarithm.
class SdrUnion {
 public:
  void add(const Sdr& positions);
  // The union so far, ascending; the map is left empty for reuse.
  Sdr take();

 private:
  std::array<uint64_t, 1024> words_{};
  size_t low_ = words_.size(), high_ = 0;  // the touched words are [low_, high_)
};

// SDR Tanimoto between the centroids of a group of seeds, each pair on
// demand. Centroids are unions of whole records' SDRs and run to thousands
// of positions, so the long ones are kept as position bitmaps and compared
// a word at a time; short ones are merged. The value is the same either
// way: |a n b| / (|a| + |b| - |a n b|) as a 32-bit float, 0 when a list is
// empty.
class CentroidTanimoto {
 public:
  explicit CentroidTanimoto(std::vector<const Sdr*> centroids);
  float operator()(size_t i, size_t j) const;

 private:
  std::vector<const Sdr*> centroids_;
  std::vector<std::vector<uint64_t>> bits_;  // empty for a short centroid
};

struct BeliefKeyParts {
  std::string_view namespace_;      // before the first ':', the whole key without one
  std::string_view semantic_type;   // the last ':' field, cut before its first '#'
};
BeliefKeyParts split_belief_key(std::string_view key);

// The second ':' field of a key of three fields or more, else empty.
std::string_view belief_key_tag_field(std::string_view key);

// Resolved or Singleton, with stability and confidence at least the seed
// mode's minimums (a NaN fails).
bool is_concept_seed(const Belief& belief, ConceptSeedMode mode);

struct ConceptSeed {
  const Belief* belief = nullptr;
  std::vector<std::string> record_ids;  // prototype records of its hypotheses, ascending, unique
  Sdr centroid;                         // union of their SDR positions, ascending
  StringSet record_tags;                // tags of those records in the snapshot, as stored
  std::string_view key_tag_field;
  std::string_view semantic_type;
  StringSet features;                   // CanonicalFeature mode only
};

// The seeds of the belief engine in its map order, with their record ids
// and centroids filled in.
std::vector<ConceptSeed> choose_concept_seeds(const BeliefEngine& beliefs, ConceptSeedMode mode,
                                              const StringKeyMap<SharedSdr>& sdrs);

// Fills the record tags, the key fields and, when `with_features`, the
// canonical feature set (terms of every snapshot record, then its tags
// lower-cased).
void describe_concept_seed(ConceptSeed& seed, const RecordMap& snapshot, bool with_features);

// The partition key of a seed: "namespace:semantic_type", or the namespace
// alone in NamespaceOnly mode.
std::string concept_partition_key(const ConceptSeed& seed, ConceptPartitionMode mode);

// Keeps the MAX_PARTITION_SIZE most stable seeds of a larger partition
// (stability descending, ties and NaN by seed id ascending) in that order,
// and returns how many were dropped.
uint64_t cap_concept_partition(std::vector<size_t>& partition, std::span<const ConceptSeed> seeds);

}  // namespace vesk
