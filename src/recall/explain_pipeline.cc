#include "recall/explain_pipeline.h"

#include <array>
#include <utility>

#include "recall/trust_multiplier.h"

namespace vesk {
namespace {

using SignalSlot = std::optional<SignalContribution> CandidateTrace::*;

CandidateTrace& trace_of(CandidateTraceMap& traces, const std::string& id) {
  auto [it, inserted] = traces.try_emplace(id);
  if (inserted) it->second.record_id = id;
  return it->second;
}

}  // namespace

ExplainPipelineResult explain_recall_pipeline(const RecallPipelineInput& in, const LexicalCollectors& collectors) {
  const std::vector<std::string> namespaces = recall_namespaces(in.namespaces);
  const size_t k = in.top_k;
  ExplainPipelineResult out;

  // The lists in fusion order, each with the trace slot it fills.
  std::vector<std::pair<RankedList, SignalSlot>> kept;
  const std::array<std::pair<const SignalCollector*, SignalSlot>, 4> lexical = {{
      {&collectors.sdr, &CandidateTrace::sdr},
      {&collectors.bm25, &CandidateTrace::bm25},
      {&collectors.ngram, &CandidateTrace::ngram},
      {&collectors.tags, &CandidateTrace::tags},
  }};
  for (const auto& [collector, slot] : lexical) {
    if (!*collector) continue;
    auto collect = [&](size_t count) { return (*collector)(in.query, namespaces, count); };
    RankedList list = collect_with_diversity_cap(collect, k, in.candidates);
    if (!list.empty()) kept.emplace_back(std::move(list), slot);
  }
  if (in.embedding && !in.embedding->empty()) kept.emplace_back(*in.embedding, &CandidateTrace::embedding);
  if (kept.empty()) return out;

  const float norm = static_cast<float>(kept.size()) / (kRrfConstant + 1.0f);
  std::vector<RankedList> lists;
  lists.reserve(kept.size());
  for (auto& [list, slot] : kept) {
    for (size_t r = 0; r < list.size(); ++r) {
      const auto& [id, score] = list[r];
      const float share = 1.0f / (static_cast<float>(r) + (kRrfConstant + 1.0f)) / norm;
      CandidateTrace& t = trace_of(out.traces, id);
      t.rrf_score += share;
      t.*slot = SignalContribution{.raw_score = score, .rank = r, .rrf_share = share};
    }
    lists.push_back(std::move(list));
  }

  std::vector<ScoredRecord>& results = out.results;
  results = rrf_fuse(in.candidates, lists, k, in.min_strength, namespaces);
  if (in.expand_connections) {
    // Each expansion appends what it adds, with the score it was added with.
    size_t from = results.size();
    expand_along_connections(results, in.candidates, in.min_strength, namespaces);
    for (size_t i = from; i < results.size(); ++i) {
      trace_of(out.traces, results[i].record.id).graph_score = results[i].score;
    }
    from = results.size();
    expand_cause_chains(results, in.candidates, in.min_strength, namespaces);
    for (size_t i = from; i < results.size(); ++i) {
      trace_of(out.traces, results[i].record.id).causal_score = results[i].score;
    }
  }

  for (ScoredRecord& r : results) {
    const float factor =
        trust_multiplier(r.record.metadata, in.trust, r.record.source_type, in.now) * r.record.strength;
    CandidateTrace& t = trace_of(out.traces, r.record.id);
    t.pre_trust_score = r.score;
    t.trust_multiplier = factor;
    r.pre_trust_score = r.score;
    r.score = r.score * factor;
    t.final_score = r.score;
  }
  keep_best(results, k);
  return out;
}

}  // namespace vesk
