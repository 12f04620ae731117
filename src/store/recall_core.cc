#include "store/recall_core.h"

#include <limits>
#include <memory>
#include <utility>

#include "audit/audit_action.h"
#include "model/debug_text.h"
#include "recall/activation.h"
#include "recall/epistemic_rerank.h"
#include "recall/recall_pipeline.h"
#include "recall/record_validity.h"
#include "storage/audit_journal.h"
#include "store/vesk.h"

namespace vesk {

size_t recall_candidate_count(size_t top_k) {
  const size_t doubled = top_k > std::numeric_limits<size_t>::max() / 2 ? std::numeric_limits<size_t>::max() : 2 * top_k;
  return std::min(std::max(doubled, top_k), kMaxRecallCandidates);
}

std::vector<ScoredRecord> recall_ranked(const Vesk& store, const RecallRequest& request, double now) {
  // The embedding function is Python code: called with no store lock held.
  std::optional<std::vector<float>> query_vector;
  if (store.embeddings && !store.embeddings->empty()) query_vector = embed_text(store.embedding_fn, request.query);

  const TrustConfig trust = store.config.trust();
  const size_t k = recall_candidate_count(request.top_k);
  std::vector<ScoredRecord> results;
  {
    auto records = store.records.read();
    // The records valid now, as a view: a record outside its validity window
    // is simply not found.
    const RecordLookup candidates = [&records, now](std::string_view id) -> const Record* {
      const Record* r = records->find_value(id);
      return r && record_valid_at(*r, now) ? r : nullptr;
    };
    auto ngram = store.ngram.read();
    auto terms = store.terms.read();
    auto tags = store.tags.read();
    auto id_map = store.id_map.read();

    std::optional<RankedList> embedding;
    if (query_vector && store.embeddings) embedding = embedding_scores(*store.embeddings, query_vector, k);

    // The record log hands out its entries shared; the SDRs the search
    // rescores against are kept alive here until it is done.
    std::vector<std::shared_ptr<const CachedLogEntry>> log_entries;
    const SdrLookup log_sdrs = [&](std::string_view id) -> const Sdr* {
      std::shared_ptr<const CachedLogEntry> entry = store.storage_handle()->cached_entry(id);
      if (!entry || !entry->sdr) return nullptr;
      log_entries.push_back(entry);
      return entry->sdr.get();
    };
    const IdMapLookup id_lookup = [&id_map](std::string_view key) -> const std::string* {
      auto it = id_map->find(key);
      return it == id_map->end() ? nullptr : &it->second;
    };

    LexicalCollectors collectors{
        .sdr =
            [&](std::string_view q, std::span<const std::string> ns, size_t count) {
              return collect_sdr(store.sdr_encoder, *store.sdr_index, log_sdrs, id_lookup, candidates, q, count, ns);
            },
        .bm25 = [&](std::string_view q, std::span<const std::string> ns,
                    size_t count) { return collect_bm25(*terms, candidates, q, count, ns); },
        .ngram = [&](std::string_view q, std::span<const std::string> ns,
                     size_t count) { return collect_ngram(*ngram, candidates, q, count, ns); },
        .tags = [&](std::string_view q, std::span<const std::string> ns,
                    size_t count) { return collect_tags(*tags, candidates, q, count, ns); },
    };
    const RecallPipelineInput in{.query = request.query,
                                 .top_k = k,
                                 .expand_connections = request.expand_connections,
                                 .min_strength = request.min_strength,
                                 .candidates = candidates,
                                 .embedding = embedding,
                                 .trust = trust,
                                 .namespaces = request.namespaces,
                                 .now = now};
    results = recall_pipeline(in, collectors);
  }

  auto beliefs = store.beliefs.read();
  auto concepts = store.concepts.read();
  auto causal = store.causal.read();
  auto policies = store.policies.read();
  const RerankContext context{
      .beliefs = *beliefs,
      .concepts = *concepts,
      .causal = *causal,
      .policies = *policies,
      .belief_mode = store.flags.belief_rerank.load(std::memory_order_relaxed),
      .concept_mode = store.flags.concept_surface.load(std::memory_order_relaxed),
      .causal_on = store.flags.causal_rerank.load(std::memory_order_relaxed) == CausalRerankMode::Limited,
      .policy_on = store.flags.policy_rerank.load(std::memory_order_relaxed) == PolicyRerankMode::Limited,
  };
  epistemic_rerank(results, request.top_k, context);
  if (context.belief_mode == BeliefRerankMode::Limited) drop_losing_hypotheses(results, *beliefs);
  if (results.size() > request.top_k) results.resize(request.top_k);
  return results;
}

std::vector<ScoredRecord> recall_core(Vesk& store, const RecallRequest& request) {
  std::vector<ScoredRecord> results = recall_ranked(store, request, store.env().now_seconds());

  const RecallActivityTargets targets{
      .records_and_sessions =
          [&store](const ActivationStep& step) {
            auto records = store.records.write();
            auto sessions = store.sessions.write();
            step(mutable_record_lookup(*records), *sessions);
          },
      .audit_retrieve = store.audit ? RetrieveAuditHook([&store](std::string_view preview, uint64_t count) {
        return store.audit->append_audit_entry(AuditAction::Retrieve{std::string(preview), count});
      })
                                    : RetrieveAuditHook(),
      .pending = store.pending_activations,
      .plasticity = store.plasticity,
      .now = [&store] { return store.env().now_seconds(); },
  };
  std::optional<std::string_view> session;
  if (request.session_id) session = *request.session_id;
  record_recall_activity(targets, results, request.query, session);
  return results;
}

void set_trust_config(Vesk& store, TrustConfig config) { store.config.set_trust(std::move(config)); }

Status set_recall_fusion_mode(Vesk& store, std::string_view mode) {
  bool known = false;
  for (std::string_view m : kFusionModes) known |= m == mode;
  if (!known) {
    return Status::Value("unknown fusion mode " + quote_debug(mode) + "; expected one of " +
                         quote_debug_list(kFusionModes));
  }
  store.config.set_fusion_mode(std::string(mode));
  store.clear_recall_caches();
  return Status::Ok();
}

}  // namespace vesk
