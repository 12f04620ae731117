// Vesk::recall_ranked and Vesk::recall_core: the one road every query-driven
// recall of a store takes (recall/recall_request.h describes its steps).
// Locks follow store/lock_order.h.
#include <memory>
#include <utility>

#include "audit/audit_action.h"
#include "base/string_hash.h"
#include "base/trace.h"
#include "recall/activation.h"
#include "recall/epistemic_rerank.h"
#include "recall/recall_candidates.h"
#include "recall/recall_pipeline.h"
#include "store/recall_embedding_ranking.h"
#include "store/log_sdr_keeper.h"
#include "store/lexical_collectors.h"
#include "store/vesk.h"

namespace vesk {

std::vector<ScoredRecord> Vesk::recall_ranked(const RecallRequest& request, double now) const {
  // The embedding function is Python code: called with no store lock held.
  std::optional<std::vector<float>> query_vector;
  if (indexes_.embeddings && !indexes_.embeddings->empty()) {
    query_vector = embed_text(callbacks_.embedding_fn, request.query);
  }

  const TrustConfig trust = config_.trust();
  auto records = records_.records.read();
  auto recall_index = records_.recall_index.read();
  const std::vector<std::string> namespaces = recall_namespaces(request.namespaces);
  const RecallCandidates view(*records, *recall_index, namespaces, now);
  return rank_candidates(request, view, view.lookup(), query_vector, trust, now);
}

std::vector<ScoredRecord> Vesk::rank_candidates(const RecallRequest& request, const RecallCandidates& view,
                                                const RecordLookup& candidates,
                                                const std::optional<std::vector<float>>& query_vector,
                                                const TrustConfig& trust, double now) const {
  const size_t k = recall_candidate_count(request.top_k);
  std::vector<ScoredRecord> results;
  {
    auto ngram = indexes_.ngram.read();
    auto terms = indexes_.terms.read();
    auto tags = indexes_.tags.read();
    auto id_map = records_.id_map.read();

    std::optional<RankedList> embedding;
    if (query_vector && indexes_.embeddings) {
      embedding = recall_embedding_ranking(*indexes_.embeddings, view, query_vector, k);
    }

    LogSdrKeeper log_entries(*storage_);
    const SdrLookup log_sdrs = log_entries.lookup();
    const IdMapLookup id_lookup = [&id_map](std::string_view key) -> const std::string* {
      return id_map->find(key);
    };

    const LexicalCollectors collectors =
        lexical_collectors({indexes_, *ngram, *terms, *tags, log_sdrs, id_lookup}, candidates);
    const RecallPipelineInput in{.query = request.query,
                                 .top_k = k,
                                 .expand_connections = request.expand_connections,
                                 .min_strength = request.min_strength,
                                 .candidates = candidates,
                                 .embedding = embedding,
                                 .trust = trust,
                                 .namespaces = request.namespaces,
                                 .now = now};
    const std::vector<ScoredRecordRef> refs = recall_pipeline_refs(in, collectors);

    // The pipeline ranks twice the results wanted; the rerank and the drop of
    // losing hypotheses read only each result's id and content, so they run
    // on copies of those two, and only the records of the results kept are
    // copied whole. The layers' locks come after the records' (lock_order.h).
    auto beliefs = layers_.beliefs.read();
    auto concepts = layers_.concepts.read();
    auto causal = layers_.causal.read();
    auto policies = layers_.policies.read();
    const RerankContext context = flags_.rerank_context(*beliefs, *concepts, *causal, *policies);
    std::vector<ScoredRecord> ranked;
    ranked.reserve(refs.size());
    StringKeyMap<const ScoredRecordRef*> by_id;
    for (const ScoredRecordRef& r : refs) {
      ScoredRecord& light = ranked.emplace_back();
      light.score = r.score;
      light.record.id = r.record->id;
      light.record.content = r.record->content;
      by_id.emplace(r.record->id, &r);
    }
    epistemic_rerank(ranked, request.top_k, context);
    if (context.belief_mode == BeliefRerankMode::Limited) drop_losing_hypotheses(ranked, *beliefs);
    if (ranked.size() > request.top_k) ranked.resize(request.top_k);
    results.reserve(ranked.size());
    for (const ScoredRecord& light : ranked) {
      const ScoredRecordRef& r = *by_id.find(light.record.id)->second;
      ScoredRecord& out = results.emplace_back(light.score, *r.record);
      out.pre_trust_score = r.pre_trust_score;
    }
  }
  return results;
}

std::vector<ScoredRecord> Vesk::recall_core(const RecallRequest& request) {
  VESK_SPAN(span, "recall_core", "vesk::recall", trace::Level::Info, trace::field("query", request.query),
            trace::field("expand_connections", request.expand_connections),
            trace::field("session_id", request.session_id), trace::field("namespaces", namespaces_field(request.namespaces)),
            trace::field("top_k", request.top_k), trace::field("min_strength", request.min_strength));
  std::vector<ScoredRecord> results = recall_ranked(request, env_.now_seconds());

  const RecallActivityTargets targets = recall_activity_targets();
  std::optional<std::string_view> session;
  if (request.session_id) session = *request.session_id;
  record_recall_activity(targets, results, request.query, session);
  return results;
}

RecallActivityTargets Vesk::recall_activity_targets() {
  return RecallActivityTargets{
      .records_and_sessions =
          [this](const ActivationStep& step) {
            auto records = records_.records.write();
            auto sessions = recall_.sessions.write();
            // Links change in place: the structural relation index hears of it.
            step(
                [&](std::string_view id) -> Record* {
                  Record* r = records->find_value(id);
                  if (r) records_.structural(records).note_links_changed(*r);
                  return r;
                },
                *sessions);
          },
      .audit_retrieve = audit_ ? RetrieveAuditHook([this](std::string_view preview, uint64_t count) {
        return audit_->append_audit_entry(AuditAction::Retrieve{std::string(preview), count});
      })
                               : RetrieveAuditHook(),
      .pending = recall_.pending_activations,
      .plasticity = layers_.plasticity,
      .now = [this] { return env_.now_seconds(); },
  };
}

}  // namespace vesk
