// What a query-driven recall asks for, as the store object's recall road
// (Vesk::recall_core) receives it.
//
// The road: embed the query when the embedding store holds any vector; under
// the records map's and the recall index's read locks keep the records valid
// now (a filtered view, nothing copied); under the n-gram, term, tag and id
// map read locks rank the query's vector over those of the candidates in the
// recall's namespaces and run the pipeline for k = min(2 x top_k, 100)
// candidates with that embedding ranking;
// release those, take the belief, concept, causal and policy layers' read
// locks, rerank with the caller's top_k, drop the losing hypotheses in
// limited belief mode, keep top_k; then, with every lock released, the
// post-recall bookkeeping (activation, session notes, the retrieval audit
// entry, co-recall weights). The trust model is copied under its own read
// lock before the records map is taken, so a run sees one whole model.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

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

// A namespace list as tracing spans show it: the quoted list
// (["default", "work"]), or none when the caller gave none.
std::optional<std::string> namespaces_field(const std::optional<std::vector<std::string>>& namespaces);

// min(max(2 x top_k, top_k), 100), the doubling saturating.
size_t recall_candidate_count(size_t top_k);

// The accepted fusion modes, in this order.
inline constexpr std::array<std::string_view, 4> kFusionModes = {"equal", "embedding_only", "family",
                                                                 "bm25_embedding"};

}  // namespace vesk
