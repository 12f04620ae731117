// Vesk::explain_recall: the recall road run with a trace of every
// candidate, changing nothing but the recall replay history.
//
// Locks (store/lock_order.h): the reflection summaries and the trust model
// are copied first, each alone, as the recall core copies the trust model
// (the correction log, when a result needs it, after the locked part);
// then, held together so that both runs, the rerank and the items see one
// state, the records map, the recall index, the n-gram, term and tag
// indexes, the id map (the embedding store's lock taken and let go inside
// embedding_scores) and the belief, concept, causal and policy layers.
// Everything is released before the replay history is taken and saved: the
// save forces a file, and no reader or writer of the records should wait
// for a disk.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <utility>

#include "base/trace.h"
#include "cognitive/recall_replay_format.h"
#include "cognitive/surface_savers.h"
#include "model/unicode_text.h"
#include "recall/epistemic_rerank.h"
#include "recall/explain_pipeline.h"
#include "recall/recall_candidates.h"
#include "recall/record_validity.h"
#include "store/recall_embedding_ranking.h"
#include "store/log_sdr_keeper.h"
#include "store/lexical_collectors.h"
#include "store/vesk.h"

namespace vesk {
namespace {

constexpr uint64_t kDefaultExplainTopK = 20;
constexpr float kDefaultExplainMinStrength = 0.1f;
// The reflection summaries whose findings an explanation cites, newest first.
constexpr uint64_t kExplainReflectionSummaries = 8;

std::string belief_mode_name(BeliefRerankMode m) {
  switch (m) {
    case BeliefRerankMode::Shadow:
      return "shadow";
    case BeliefRerankMode::Limited:
      return "limited";
    default:
      return "off";
  }
}

std::string concept_mode_name(ConceptSurfaceMode m) {
  switch (m) {
    case ConceptSurfaceMode::Inspect:
      return "inspect";
    case ConceptSurfaceMode::Limited:
      return "limited";
    default:
      return "off";
  }
}

std::string lower_mode_name(bool limited) {
  std::string name(surface_mode_name(limited));
  for (char& c : name) c = ascii_lower(c);
  return name;
}

size_t saturating_times(uint64_t n, uint64_t factor) {
  return n > SIZE_MAX / factor ? SIZE_MAX : static_cast<size_t>(n * factor);
}

}  // namespace

Result<RecallExplanation> Vesk::explain_recall(std::string_view query, std::optional<uint64_t> top_k,
                                               std::optional<float> min_strength,
                                               std::optional<bool> expand_connections,
                                               std::optional<std::vector<std::string>> namespaces) {
  VESK_SPAN(span, "explain_recall", "vesk::vesk", trace::Level::Info,
            trace::field("expand_connections", expand_connections), trace::empty("top_k"),
            trace::empty("min_strength"), trace::empty("memory_trace_id"), trace::empty("selected_count"),
            trace::empty("rejected_count"));

  // The embedding function is Python code: called with no store lock held.
  std::optional<std::vector<float>> query_vector;
  if (indexes_.embeddings && !indexes_.embeddings->empty()) {
    query_vector = embed_text(callbacks_.embedding_fn, query);
  }

  const auto started = std::chrono::steady_clock::now();
  Result<std::string> trace_id = new_recall_trace_id(env_);
  if (!trace_id.ok()) return trace_id.status();
  const double now = env_.now_seconds();

  RecallExplanation out;
  out.trace_id = std::move(trace_id).value();
  out.evaluated_at = now;
  out.query = std::string(query);
  const uint64_t k = top_k.value_or(kDefaultExplainTopK);
  const float strength_floor = min_strength.value_or(kDefaultExplainMinStrength);
  const bool expand = expand_connections.value_or(true);
  const std::vector<std::string> listed = recall_namespaces(namespaces);
  const std::optional<std::vector<std::string>> listed_opt = listed;
  // The first run asks for what the recall core asks for; the wider one for
  // twice that, and at least 1.
  const size_t k1 = recall_candidate_count(k);
  const size_t k2 = std::min(std::max<size_t>(saturating_times(k, 4), 1), kMaxRecallCandidates);
  out.top_k = k;
  span.record("top_k", k);
  span.record("min_strength", strength_floor);
  span.record("memory_trace_id", out.trace_id);

  // Copies read under locks of their own, taken alone. The correction log
  // is read later, and only when a result names a causal pattern: it walks
  // the audit journal's file, which grows with every call of the store.
  const std::vector<CorrectionLogEntry> no_corrections;
  const std::vector<ReflectionSummary> reflections = get_reflection_summaries(kExplainReflectionSummaries);
  const TrustConfig trust = config_.trust();

  RecallReplayBaseline baseline;
  {
    auto records = records_.records.read();
    // The namespace's records and those of them valid now, as views of the
    // map: nothing is copied but the records of results.
    const RecordLookup in_namespaces = [&records, &listed](std::string_view id) -> const Record* {
      const Record* r = records->find_value(id);
      return r && std::find(listed.begin(), listed.end(), r->namespace_) != listed.end() ? r : nullptr;
    };
    const RecordLookup valid_now = [&in_namespaces, now](std::string_view id) -> const Record* {
      const Record* r = in_namespaces(id);
      return r && record_valid_at(*r, now) ? r : nullptr;
    };
    const RecordLookup all_records = record_lookup(*records);
    auto recall_index = records_.recall_index.read();
    const RecallCandidates candidates(*records, *recall_index, listed, now);
    auto ngram = indexes_.ngram.read();
    auto terms = indexes_.terms.read();
    auto tags = indexes_.tags.read();
    auto id_map = records_.id_map.read();

    std::optional<RankedList> embedding;
    // Ranked over the recall's own candidates, as the recall core ranks it.
    if (query_vector && indexes_.embeddings) {
      embedding = recall_embedding_ranking(*indexes_.embeddings, candidates, query_vector, k1);
    }

    LogSdrKeeper log_entries(*storage_);
    const SdrLookup log_sdrs = log_entries.lookup();
    const IdMapLookup id_lookup = [&id_map](std::string_view key) -> const std::string* { return id_map->find(key); };
    // The four collectors over one view; the view outlives them.
    const LexicalSources sources{indexes_, *ngram, *terms, *tags, log_sdrs, id_lookup};
    auto collectors_over = [&](const RecordLookup& view) { return lexical_collectors(sources, view); };

    // The result list comes from the records valid now; the wider run over
    // the whole namespaces, with k2 >= 1 even for top_k 0, only traces what
    // the validity window and the cut kept out.
    ExplainPipelineResult first = explain_recall_pipeline(
        RecallPipelineInput{.query = query,
                            .top_k = k1,
                            .expand_connections = expand,
                            .min_strength = strength_floor,
                            .candidates = valid_now,
                            .embedding = embedding,
                            .trust = trust,
                            .namespaces = listed_opt,
                            .now = now},
        collectors_over(valid_now));
    ExplainPipelineResult wider = explain_recall_pipeline(
        RecallPipelineInput{.query = query,
                            .top_k = k2,
                            .expand_connections = expand,
                            .min_strength = strength_floor,
                            .candidates = in_namespaces,
                            .embedding = embedding,
                            .trust = trust,
                            .namespaces = listed_opt,
                            .now = now},
        collectors_over(in_namespaces));

    auto beliefs = layers_.beliefs.read();
    auto concepts = layers_.concepts.read();
    auto causal = layers_.causal.read();
    auto policies = layers_.policies.read();
    const RerankContext context = flags_.rerank_context(*beliefs, *concepts, *causal, *policies);
    std::vector<ScoredRecord>& results = first.results;
    epistemic_rerank(results, k, context);
    if (context.belief_mode == BeliefRerankMode::Limited) drop_losing_hypotheses(results, *beliefs);
    if (results.size() > k) results.resize(k);

    const ExplainLayers layers{*beliefs, *concepts, *causal, *policies};
    StringSet selected;
    out.items.reserve(results.size());
    for (size_t i = 0; i < results.size(); ++i) {
      const ScoredRecord& r = results[i];
      auto t = first.traces.find(r.record.id);
      out.items.push_back(build_explained_item(i + 1, r.record, all_records, layers, r.score, no_corrections,
                                               reflections, t == first.traces.end() ? nullptr : &t->second));
      selected.insert(r.record.id);
      baseline.ranked.emplace_back(r.record.id, r.score);
    }

    const CandidateTraceMap merged = merge_candidate_traces(std::move(wider.traces), first.traces);
    out.rejected_candidates = vesk::rejected_candidates(merged, selected, in_namespaces, *beliefs, now, strength_floor,
                                                        out.decision_summary);

    out.belief_rerank_mode = belief_mode_name(context.belief_mode);
    out.concept_surface_mode = concept_mode_name(context.concept_mode);
    out.causal_rerank_mode = lower_mode_name(context.causal_on);
    out.policy_rerank_mode = lower_mode_name(context.policy_on);
  }

  // Read with no store lock held, as the reflection summaries were.
  if (links_causal_patterns(out.items)) attach_pattern_corrections(out.items, read_correction_log());

  out.latency_ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
  DecisionSummary& summary = out.decision_summary;
  out.result_count = out.items.size();
  summary.selected_count = out.items.size();
  summary.evaluated_candidate_count = summary.rejected_count + summary.selected_count;
  span.record("selected_count", summary.selected_count);
  span.record("rejected_count", summary.rejected_count);

  baseline.trace_id = out.trace_id;
  baseline.query = out.query;
  baseline.top_k = k;
  baseline.min_strength = strength_floor;
  baseline.expand_connections = expand;
  baseline.namespaces = listed;
  {
    // Held through the save, so that explanations append and save one
    // after the other and the file ends with the newest list. A failed save
    // leaves the new baseline in memory, for the next save to write.
    auto history = recall_.recall_replay.write();
    if (history->size() >= kRecallReplayLimit) history->erase(history->begin());
    history->push_back(std::move(baseline));
    (void)save_recall_replay(path_, key_.get(), *history, env_);
  }
  return out;
}

}  // namespace vesk

namespace vesk {

Result<Vesk::RecallReplay> Vesk::replay_recall(std::string_view trace_id) {
  std::optional<RecallReplayBaseline> baseline;
  {
    auto history = recall_.recall_replay.read();
    for (auto it = history->rbegin(); it != history->rend(); ++it) {
      if (it->trace_id == trace_id) {
        baseline = *it;
        break;
      }
    }
  }
  if (!baseline) return Status::Key("Unknown or expired recall trace: " + std::string(trace_id));
  Result<RecallExplanation> replay = explain_recall(baseline->query, baseline->top_k, baseline->min_strength,
                                                    baseline->expand_connections, baseline->namespaces);
  if (!replay.ok()) return replay.status();
  std::vector<std::pair<std::string, float>> replayed;
  replayed.reserve(replay->items.size());
  for (const ExplainedRecallItem& item : replay->items) replayed.emplace_back(item.record_id, item.score);
  return RecallReplay{.original_trace_id = std::string(trace_id),
                      .replay_trace_id = replay->trace_id,
                      .diff = diff_recall_rankings(baseline->ranked, replayed)};
}

}  // namespace vesk
