// Vesk::recall_at and Vesk::recall_as_of: recall as of a moment other than
// now. Both run the recall pipeline directly over a filtered view of the
// record map (nothing copied but the results), ask it for exactly top_k
// results, and skip the recall caches, the cognitive rerank and the hit
// counters. Locks follow store/lock_order.h.
#include <cmath>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/trace.h"
#include "recall/recall_candidates.h"
#include "recall/recall_pipeline.h"
#include "store/log_sdr_keeper.h"
#include "store/recall_embedding_ranking.h"
#include "store/lexical_collectors.h"
#include "store/vesk.h"

namespace vesk {

Result<std::vector<ScoredRecord>> Vesk::recall_point_in_time(const RecallRequest& request, double timestamp,
                                                             bool transaction_time) const {
  // The embedding function is Python code: called with no store lock held,
  // and before the timestamp is checked.
  std::optional<std::vector<float>> query_vector;
  if (indexes_.embeddings && !indexes_.embeddings->empty()) {
    query_vector = embed_text(callbacks_.embedding_fn, request.query);
  }
  if (!std::isfinite(timestamp)) return Status::Runtime("timestamp must be a finite Unix timestamp");

  const TrustConfig trust = config_.trust();
  std::vector<ScoredRecord> results;
  auto records = records_.records.read();
  auto recall_index = records_.recall_index.read();
  const std::vector<std::string> namespaces = recall_namespaces(request.namespaces);
  std::optional<double> created_by;
  if (transaction_time) created_by = timestamp;
  const RecallCandidates view(*records, *recall_index, namespaces, timestamp, created_by);
  const RecordLookup& candidates = view.lookup();
  auto ngram = indexes_.ngram.read();
  auto terms = indexes_.terms.read();
  auto tags = indexes_.tags.read();
  auto id_map = records_.id_map.read();

  std::optional<RankedList> embedding;
  if (query_vector && indexes_.embeddings) {
    embedding = recall_embedding_ranking(*indexes_.embeddings, view, query_vector, request.top_k);
  }

  LogSdrKeeper log_entries(*storage_);
  const SdrLookup log_sdrs = log_entries.lookup();
  const IdMapLookup id_lookup = [&id_map](std::string_view key) -> const std::string* { return id_map->find(key); };
  const LexicalCollectors collectors =
      lexical_collectors({indexes_, *ngram, *terms, *tags, log_sdrs, id_lookup}, candidates);
  // top_k is not capped here, so nothing is reserved by it: the pipeline
  // returns at most as many results as there are candidates.
  const RecallPipelineInput in{.query = request.query,
                               .top_k = request.top_k,
                               .expand_connections = request.expand_connections,
                               .min_strength = request.min_strength,
                               .candidates = candidates,
                               .embedding = embedding,
                               .trust = trust,
                               .namespaces = request.namespaces,
                               .now = env_.now_seconds()};
  for (const ScoredRecordRef& r : recall_pipeline_refs(in, collectors)) {
    ScoredRecord& out = results.emplace_back(r.score, *r.record);
    out.pre_trust_score = r.pre_trust_score;
  }
  return results;
}

Result<std::vector<ScoredRecord>> Vesk::recall_at(const RecallRequest& request, double timestamp) {
  VESK_SPAN(span, "recall_at", "vesk::recall", trace::Level::Info, trace::field("query", request.query),
            trace::field("timestamp", timestamp), trace::field("top_k", request.top_k));
  Result<std::vector<ScoredRecord>> results = recall_point_in_time(request, timestamp, true);
  if (!results.ok()) return results;
  std::optional<std::string_view> session;
  if (request.session_id) session = *request.session_id;
  // Every lock of the ranking is released: the bookkeeping takes its own.
  record_recall_activity(recall_activity_targets(), *results, request.query, session);
  return results;
}

Result<std::vector<ScoredRecord>> Vesk::recall_as_of(const RecallRequest& request, double timestamp) const {
  VESK_SPAN(span, "recall_as_of", "vesk::recall", trace::Level::Info, trace::field("query", request.query),
            trace::field("timestamp", timestamp), trace::field("top_k", request.top_k));
  return recall_point_in_time(request, timestamp, false);
}

}  // namespace vesk
