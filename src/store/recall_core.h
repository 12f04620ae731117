// The recall core: the one road every query-driven recall of a store takes.
//
//   1. embed the query, when the embedding store holds any vector;
//   2. under the records map's read lock, keep the records valid now: the
//      candidates are a filtered view of the map (nothing is copied), and
//      the indexes search only through it;
//   3. under the n-gram, term, tag and id map read locks, run the pipeline
//      for k = min(2 x top_k, 100) candidates, with the embedding ranking;
//   4. release those, take the belief, concept, causal and policy layers'
//      read locks, rerank the whole list with the caller's top_k, drop the
//      losing hypotheses in limited belief mode, keep top_k;
//   5. with every lock released, the post-recall bookkeeping (activation,
//      session notes, the retrieval audit entry, co-recall weights).
//
// Locks follow the store object's order (vesk.h). The trust model is copied
// under its own read lock before the records map is taken, so no lock of the
// configuration block nests inside the recall's; the run sees one whole
// model, the old one or the new one.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "model/scored_record.h"

namespace vesk {

class Vesk;
struct TrustConfig;

inline constexpr size_t kMaxRecallCandidates = 100;

struct RecallRequest {
  std::string_view query;
  size_t top_k = 0;
  bool expand_connections = false;
  float min_strength = 0.0f;
  std::optional<std::string> session_id;
  // None means the one namespace "default"; an empty list sees nothing.
  std::optional<std::vector<std::string>> namespaces;
};

// min(max(2 x top_k, top_k), 100), the doubling saturating.
size_t recall_candidate_count(size_t top_k);

// At most top_k (and at most 100) results in their final order. Never fails.
std::vector<ScoredRecord> recall_core(Vesk& store, const RecallRequest& request);

// The pipeline and rerank of recall_core without the bookkeeping, at the
// given wall-clock time: what a recall would return, changing nothing.
std::vector<ScoredRecord> recall_ranked(const Vesk& store, const RecallRequest& request, double now);

// ---- Store settings read by the pipeline --------------------------------------

// The accepted fusion modes, in this order.
inline constexpr std::array<std::string_view, 4> kFusionModes = {"equal", "embedding_only", "family",
                                                                 "bm25_embedding"};

// Replaces the store's trust model whole; values are not checked. The recall
// caches are kept.
void set_trust_config(Vesk& store, TrustConfig config);

// Replaces only the fusion mode, then clears both recall caches. A text not
// in kFusionModes fails with `unknown fusion mode "x"; expected one of
// ["equal", "embedding_only", "family", "bm25_embedding"]` (a Value error)
// and changes nothing.
Status set_recall_fusion_mode(Vesk& store, std::string_view mode);

}  // namespace vesk
