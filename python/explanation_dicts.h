// Dict forms of the explanations: score traces, explained recall items,
// provenance chains and correction suggestions. Keys in this order:
//
//   score trace        sdr bm25 ngram tags embedding (each None or a signal
//                      dict: raw_score rank rrf_share) rrf_score graph_score
//                      causal_score pre_trust_score trust_multiplier
//                      pre_rerank_score rerank_delta final_score
//   explained item     rank record_id score namespace salience
//                      salience_reason salience_explanation content_preview
//                      because_record_id because_preview
//                      has_unresolved_evidence honesty_note
//                      contradiction_dependency reflection_references
//                      answer_support belief concepts causal_patterns
//                      policy_hints trace
//     answer_support   significance_phrase uncertainty_phrase
//                      contradiction_phrase reflection_phrase
//                      recommended_framing
//     belief           id state hypothesis_id winner_hypothesis_id
//                      hypothesis_score winner_score is_winning_hypothesis
//                      confidence support_mass conflict_mass stability
//                      volatility has_unresolved_evidence
//     concept          id key state confidence
//     causal pattern   id key state causal_strength invalidation_reason
//                      invalidated_at corrections (correction entry dicts)
//     policy hint      id key state action_kind policy_strength
//   provenance chain   record_id namespace content_preview build_latency_ms
//                      because_record_id because_preview narrative steps
//                      details (the chain as an explained item,
//                      reports/provenance_chain.h)
//   suggestion         target_kind target_id namespace reason_kind
//                      suggested_action reason_detail priority_score
//                      severity supporting_record_id provenance (a chain
//                      dict or None)
//
// The state and kind texts are those the explanation prepared. Each returns
// a new object, or null with the interpreter's error set; a failure inside a
// nested dict fails the whole result.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <span>
#include <string_view>

#include "recall/explained_item.h"
#include "recall/recall_explanation.h"
#include "recall/recall_replay_diff.h"
#include "recall/score_trace.h"
#include "reports/correction_suggestion.h"
#include "reports/provenance_chain.h"

namespace vesk::py {

PyObject* score_trace_dict(const ScoreTrace& trace);
PyObject* explained_item_dict(const ExplainedRecallItem& item);
// The explained recall: its scalars, the mode names title-cased ("Off",
// "Shadow", "Inspect", "Limited"), "decision_summary" (its
// "rejection_counts" in ascending byte order), "items" and
// "rejected_candidates" (record_id namespace content_preview reasons
// strength valid_from valid_until belief trace).
PyObject* recall_explanation_dict(const RecallExplanation& explanation);
// original_trace_id replay_trace_id ranking_stable original_record_ids
// replay_record_ids added_record_ids removed_record_ids moved_record_ids
// max_score_delta.
PyObject* recall_replay_dict(std::string_view original_trace_id, std::string_view replay_trace_id,
                             const RecallReplayDiff& diff);
PyObject* provenance_chain_dict(const ProvenanceChain& chain);
PyObject* correction_suggestion_list(std::span<const CorrectionSuggestion> suggestions);

}  // namespace vesk::py
