#include "explanation_dicts.h"

#include <map>
#include <string>

#include "binding/dict_builder.h"
#include "explain_values.h"
#include "report_dicts.h"

namespace vesk::py {
namespace {

PyObject* answer_support_dict(const AnswerSupport& a) {
  return DictBuilder()
      .add("significance_phrase", a.significance_phrase)
      .add("uncertainty_phrase", a.uncertainty_phrase)
      .add("contradiction_phrase", a.contradiction_phrase)
      .add("reflection_phrase", a.reflection_phrase)
      .add("recommended_framing", a.recommended_framing)
      .finish();
}

PyObject* belief_summary_dict(const BeliefSummary& b) {
  return DictBuilder()
      .add("id", b.id)
      .add("state", b.state)
      .add("hypothesis_id", b.hypothesis_id)
      .add("winner_hypothesis_id", b.winner_hypothesis_id)
      .add("hypothesis_score", b.hypothesis_score)
      .add("winner_score", b.winner_score)
      .add("is_winning_hypothesis", b.is_winning_hypothesis)
      .add("confidence", b.confidence)
      .add("support_mass", b.support_mass)
      .add("conflict_mass", b.conflict_mass)
      .add("stability", b.stability)
      .add("volatility", b.volatility)
      .add("has_unresolved_evidence", b.has_unresolved_evidence)
      .finish();
}

PyObject* concept_dict(const ConceptReference& c) {
  return DictBuilder().add("id", c.id).add("key", c.key).add("state", c.state).add("confidence", c.confidence).finish();
}

PyObject* causal_dict(const CausalReference& c) {
  return DictBuilder()
      .add("id", c.id)
      .add("key", c.key)
      .add("state", c.state)
      .add("causal_strength", c.causal_strength)
      .add("invalidation_reason", c.invalidation_reason)
      .add("invalidated_at", c.invalidated_at)
      .add_with("corrections", [&] { return correction_log_list(c.corrections); })
      .finish();
}

PyObject* policy_dict(const PolicyReference& p) {
  return DictBuilder()
      .add("id", p.id)
      .add("key", p.key)
      .add("state", p.state)
      .add("action_kind", p.action_kind)
      .add("policy_strength", p.policy_strength)
      .finish();
}

PyObject* suggestion_dict(const CorrectionSuggestion& s) {
  return DictBuilder()
      .add("target_kind", s.target_kind)
      .add("target_id", s.target_id)
      .add("namespace", s.namespace_)
      .add("reason_kind", s.reason_kind)
      .add("suggested_action", s.suggested_action)
      .add("reason_detail", s.reason_detail)
      .add("priority_score", s.priority_score)
      .add("severity", s.severity)
      .add("supporting_record_id", s.supporting_record_id)
      .add_with("provenance",
                [&] { return s.provenance ? provenance_chain_dict(*s.provenance) : Py_NewRef(Py_None); })
      .finish();
}

}  // namespace

PyObject* score_trace_dict(const ScoreTrace& t) {
  return DictBuilder()
      .add("sdr", t.sdr)
      .add("bm25", t.bm25)
      .add("ngram", t.ngram)
      .add("tags", t.tags)
      .add("embedding", t.embedding)
      .add("rrf_score", t.rrf_score)
      .add("graph_score", t.graph_score)
      .add("causal_score", t.causal_score)
      .add("pre_trust_score", t.pre_trust_score)
      .add("trust_multiplier", t.trust_multiplier)
      .add("pre_rerank_score", t.pre_rerank_score)
      .add("rerank_delta", t.rerank_delta)
      .add("final_score", t.final_score)
      .finish();
}

// A core mode name ("off", "shadow", ...) as the explanation dict writes it:
// its first letter upper case ("Off", "Shadow", "Inspect", "Limited").
std::string mode_title(std::string mode) {
  if (!mode.empty() && mode[0] >= 'a' && mode[0] <= 'z') mode[0] = static_cast<char>(mode[0] - 'a' + 'A');
  return mode;
}

PyObject* rejection_counts_dict(const std::map<std::string, uint64_t>& counts) {
  DictBuilder d;
  // std::map orders its keys by bytes, ascending.
  for (const auto& [reason, n] : counts) d.add(reason.c_str(), n);
  return d.finish();
}

PyObject* decision_summary_dict(const DecisionSummary& s) {
  return DictBuilder()
      .add("evaluated_candidate_count", s.evaluated_candidate_count)
      .add("selected_count", s.selected_count)
      .add("rejected_count", s.rejected_count)
      .add("reported_rejected_count", s.reported_rejected_count)
      .add("omitted_rejected_count", s.omitted_rejected_count)
      .add_with("rejection_counts", [&] { return rejection_counts_dict(s.rejection_counts); })
      .finish();
}

PyObject* rejected_candidate_dict(const RejectedCandidate& c) {
  return DictBuilder()
      .add("record_id", c.record_id)
      .add("namespace", c.namespace_)
      .add("content_preview", c.content_preview)
      .add("reasons", c.reasons)
      .add("strength", c.strength)
      .add("valid_from", c.valid_from)
      .add("valid_until", c.valid_until)
      .add_with("belief", [&] { return c.belief ? belief_summary_dict(*c.belief) : Py_NewRef(Py_None); })
      .add_with("trace", [&] { return score_trace_dict(c.trace); })
      .finish();
}

PyObject* explained_item_dict(const ExplainedRecallItem& i) {
  return DictBuilder()
      .add("rank", i.rank)
      .add("record_id", i.record_id)
      .add("score", i.score)
      .add("namespace", i.namespace_)
      .add("salience", i.salience)
      .add("salience_reason", i.salience_reason)
      .add("salience_explanation", i.salience_explanation)
      .add("content_preview", i.content_preview)
      .add("because_record_id", i.because_record_id)
      .add("because_preview", i.because_preview)
      .add("has_unresolved_evidence", i.has_unresolved_evidence)
      .add("honesty_note", i.honesty_note)
      .add("contradiction_dependency", i.contradiction_dependency)
      .add("reflection_references", i.reflection_references)
      .add_with("answer_support", [&] { return answer_support_dict(i.answer_support); })
      .add_with("belief", [&] { return i.belief ? belief_summary_dict(*i.belief) : Py_NewRef(Py_None); })
      .add_with("concepts", [&] { return dict_list(std::span(i.concepts), concept_dict); })
      .add_with("causal_patterns", [&] { return dict_list(std::span(i.causal_patterns), causal_dict); })
      .add_with("policy_hints", [&] { return dict_list(std::span(i.policy_hints), policy_dict); })
      .add_with("trace", [&] { return score_trace_dict(i.trace); })
      .finish();
}

PyObject* recall_explanation_dict(const RecallExplanation& e) {
  return DictBuilder()
      .add("trace_id", e.trace_id)
      .add("evaluated_at", e.evaluated_at)
      .add("query", e.query)
      .add("top_k", e.top_k)
      .add("result_count", e.result_count)
      .add("latency_ms", e.latency_ms)
      .add("belief_rerank_mode", mode_title(e.belief_rerank_mode))
      .add("concept_surface_mode", mode_title(e.concept_surface_mode))
      .add("causal_rerank_mode", mode_title(e.causal_rerank_mode))
      .add("policy_rerank_mode", mode_title(e.policy_rerank_mode))
      .add_with("decision_summary", [&] { return decision_summary_dict(e.decision_summary); })
      .add_with("items", [&] { return dict_list(std::span(e.items), explained_item_dict); })
      .add_with("rejected_candidates",
                [&] { return dict_list(std::span(e.rejected_candidates), rejected_candidate_dict); })
      .finish();
}

PyObject* recall_replay_dict(std::string_view original_trace_id, std::string_view replay_trace_id,
                             const RecallReplayDiff& d) {
  return DictBuilder()
      .add("original_trace_id", original_trace_id)
      .add("replay_trace_id", replay_trace_id)
      .add("ranking_stable", d.ranking_stable)
      .add("original_record_ids", d.original_record_ids)
      .add("replay_record_ids", d.replay_record_ids)
      .add("added_record_ids", d.added_record_ids)
      .add("removed_record_ids", d.removed_record_ids)
      .add("moved_record_ids", d.moved_record_ids)
      .add("max_score_delta", d.max_score_delta)
      .finish();
}

PyObject* provenance_chain_dict(const ProvenanceChain& c) {
  return DictBuilder()
      .add("record_id", c.record_id)
      .add("namespace", c.namespace_)
      .add("content_preview", c.content_preview)
      .add("build_latency_ms", c.build_latency_ms)
      .add("because_record_id", c.because_record_id)
      .add("because_preview", c.because_preview)
      .add("narrative", c.narrative)
      .add("steps", c.steps)
      .add_with("details", [&] { return explained_item_dict(provenance_chain_details(c)); })
      .finish();
}

PyObject* correction_suggestion_list(std::span<const CorrectionSuggestion> suggestions) {
  return dict_list(suggestions, suggestion_dict);
}

}  // namespace vesk::py
