// The cross-namespace digest: one entry per namespace describing what it
// holds (counts, tags, structural relation types, concept and causal
// signatures, belief states, corrections, strongest concepts), and the
// pairwise resemblance of the namespaces through four of those lists.
//
// Every list of an entry is free of repeats and sorted ascending by the bytes
// of its UTF-8 texts (a prefix first); hash sets give distinctness and never
// the order. The entries are built in one pass over the records and each
// layer that groups everything by namespace, so the cost is the store's size
// plus, for the pairs, the square of the number of namespaces.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "audit/correction_log_entry.h"
#include "cognitive/belief_layer.h"
#include "cognitive/causal_layer.h"
#include "cognitive/concept_layer.h"
#include "model/record_map.h"
#include "model/relation_link.h"

namespace vesk {

struct NamespaceBeliefSummary {
  uint64_t resolved = 0;
  uint64_t unresolved = 0;
  uint64_t singleton = 0;
  uint64_t empty = 0;
  uint64_t high_volatility_count = 0;  // volatility at least 0.2
  float avg_volatility = 0.0f;         // 0.0 without a belief
};

struct NamespaceTopConcept {
  std::string concept_id;
  std::string key;
  float confidence = 0.0f;
  std::string state;  // "candidate", "stable" or "rejected"
  uint64_t record_count = 0;
  uint64_t belief_count = 0;
};

struct NamespaceDigestEntry {
  std::string namespace_;
  uint64_t record_count = 0;
  uint64_t concept_count = 0;
  uint64_t stable_concept_count = 0;
  std::vector<std::string> concept_signatures;
  std::vector<std::string> tags;
  std::vector<std::string> structural_relation_types;
  std::vector<std::string> causal_signatures;
  std::optional<NamespaceBeliefSummary> belief_state_summary;  // belief_states off: none
  std::optional<uint64_t> correction_count;                    // corrections off: none
  std::optional<float> correction_density;
  std::vector<NamespaceTopConcept> top_concepts;
};

struct CrossNamespaceDigestParams {
  uint64_t min_record_count = 1;
  uint64_t top_concepts_limit = 5;  // 1..10
  float pairwise_similarity_threshold = 0.0f;  // 0..1, or NaN: every pair
  bool compact_summary = false;
  bool concepts = true;
  bool tags = true;
  bool structural = true;
  bool causal = true;
  bool belief_states = true;
  bool corrections = true;
};

struct NamespacePairSimilarity {
  std::string namespace_a;  // the name that sorts first
  std::string namespace_b;
  std::vector<std::string> shared_concept_signatures;
  std::vector<std::string> shared_tags;
  std::vector<std::string> shared_structural_relation_types;
  std::vector<std::string> shared_causal_signatures;
  float concept_signature_similarity = 0.0f;
  float tag_jaccard = 0.0f;
  float structural_similarity = 0.0f;
  float causal_signature_similarity = 0.0f;
};

struct CrossNamespaceDigest {
  std::vector<std::string> included_dimensions;
  std::vector<NamespaceDigestEntry> namespaces;
  std::vector<NamespacePairSimilarity> pairs;
  uint64_t namespace_count = 0;
  double latency_ms = 0.0;
  bool compact_summary = false;
};

// Up to four feature words of the listed records: normalize_words of each
// tag, the content type and the semantic type of every listed record found
// in the map (others skipped), empty results dropped, distinct, ascending,
// the first four.
std::vector<std::string> record_feature_words(const std::vector<std::string>& record_ids, const RecordMap& records);

// "{semantic_type}:{w1+w2+w3+w4}" over normalize_words of the concept's core
// terms and tags (distinct, ascending, the first four).
std::string concept_signature(const ConceptCandidate& concept_candidate);

// "{cause words}=>{effect words}", each side record_feature_words joined by
// "+"; "=>" when every listed record is gone.
std::string causal_signature(const CausalPattern& pattern, const RecordMap& records);

// The entries of `names` (selected and sorted by the caller), in that order.
// `corrections` is the correction log when that dimension is on, else null;
// `beliefs` may be null when the belief-state dimension is off. The caller
// holds shared access to every map for the whole call.
std::vector<NamespaceDigestEntry> build_namespace_digest_entries(const std::vector<std::string>& names,
                                                                 const CrossNamespaceDigestParams& params,
                                                                 const std::vector<CorrectionLogEntry>* corrections,
                                                                 const RecordMap& records, const BeliefEngine* beliefs,
                                                                 const ConceptEngine& concepts,
                                                                 const CausalEngine& causal);

// The namespaces of the map with at least `min_record_count` records (0 as
// 1) that the filter names byte for byte (every one without a filter),
// ascending by bytes.
std::vector<std::string> select_digest_namespaces(const RecordMap& records,
                                                  const std::optional<std::vector<std::string>>& filter,
                                                  uint64_t min_record_count);

// Entries i < j in the order (0,1), (0,2) ... (n-2,n-1): the shared lists
// (empty when the dimension is off or the summary is compact) and the four
// Jaccard similarities in 32-bit floats; a pair is kept when the largest
// similarity is at least the threshold, or always with a NaN threshold.
std::vector<NamespacePairSimilarity> namespace_pair_similarities(const std::vector<NamespaceDigestEntry>& entries,
                                                                 const CrossNamespaceDigestParams& params);

// The names of the dimensions that are on, in the fixed order "concepts",
// "tags", "structural", "causal", "belief_states", "corrections".
std::vector<std::string> included_digest_dimensions(const CrossNamespaceDigestParams& params);

// Turns every dimension off, then on for each recognised name (Unicode white
// space trimmed, ASCII lower-cased; "beliefs", "belief_state",
// "correction_density" are aliases); other names are ignored.
void apply_digest_dimension_names(const std::vector<std::string>& names, CrossNamespaceDigestParams& params);

}  // namespace vesk
