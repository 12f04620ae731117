#include "reports/provenance_chain.h"

namespace vesk {

ExplainedRecallItem provenance_chain_details(const ProvenanceChain& chain) {
  ExplainedRecallItem item;
  item.rank = 1;
  item.record_id = chain.record_id;
  item.namespace_ = chain.namespace_;
  item.content_preview = chain.content_preview;
  item.because_record_id = chain.because_record_id;
  item.because_preview = chain.because_preview;
  item.belief = chain.belief;
  item.concepts = chain.concepts;
  item.causal_patterns = chain.causal_patterns;
  item.policy_hints = chain.policy_hints;

  const bool unresolved = chain.belief && chain.belief->has_unresolved_evidence;
  item.has_unresolved_evidence = unresolved;
  std::optional<std::string> contradiction;
  if (chain.belief) contradiction = answer_caution_note(unresolved, chain.belief->conflict_mass);
  item.contradiction_dependency = contradiction.has_value();
  item.honesty_note = caution_note(!chain.policy_hints.empty(), unresolved);

  AnswerSupport& a = item.answer_support;
  a.uncertainty_phrase = item.honesty_note;
  a.contradiction_phrase = std::move(contradiction);
  a.recommended_framing = unresolved ? "State the useful evidence, then explicitly note uncertainty or conflict."
                                     : "State the answer directly without anthropomorphic language.";
  return item;
}

}  // namespace vesk
