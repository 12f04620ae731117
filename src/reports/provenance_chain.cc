#include "reports/provenance_chain.h"

#include "model/unicode_text.h"
#include "reports/two_decimals.h"

namespace vesk {
namespace {

constexpr size_t kStepCausePreviewChars = 80;

std::string joined(const std::vector<std::string>& parts, std::string_view separator) {
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) out += separator;
    out += parts[i];
  }
  return out;
}

}  // namespace

ProvenanceChain explain_record_text(const ExplainedRecallItem& item, double build_latency_ms) {
  std::vector<std::string> steps, clauses;
  steps.push_back("record " + item.record_id + " in namespace " + item.namespace_);
  clauses.push_back("Record " + item.record_id + " surfaced in namespace " + item.namespace_);

  if (item.because_record_id) {
    const std::string& cause = *item.because_record_id;
    if (item.because_preview)
      steps.push_back("caused_by " + cause + " from \"" +
                      std::string(first_chars(*item.because_preview, kStepCausePreviewChars)) + "\"");
    else
      steps.push_back("caused_by " + cause);
    clauses.push_back("because it points to source record " + cause);
  }

  if (const auto& b = item.belief) {
    steps.push_back("belief " + b->id + " is " + b->state + " at confidence " + two_decimals(b->confidence));
    clauses.push_back("it maps to belief " + b->id + " (" + b->state + ", confidence " +
                      two_decimals(b->confidence) + ")");
    if (b->has_unresolved_evidence) {
      const std::string figures = "(volatility " + two_decimals(b->volatility) + ", conflict " +
                                  two_decimals(b->conflict_mass) + ", support " + two_decimals(b->support_mass) +
                                  ")";
      steps.push_back("belief " + b->id + " carries unresolved evidence " + figures);
      clauses.push_back("that belief remains epistemically unstable " + figures);
    }
  }

  std::vector<std::string> names;
  for (const ConceptReference& c : item.concepts) {
    steps.push_back("concept " + c.id + " (" + c.key + ") is " + c.state + " at confidence " +
                    two_decimals(c.confidence));
    names.push_back(c.key);
  }
  if (!names.empty()) clauses.push_back("it participates in concepts [" + joined(names, ", ") + "]");

  names.clear();
  for (const CausalReference& p : item.causal_patterns) {
    std::string step = "causal pattern " + p.id + " (" + p.key + ") is " + p.state + " with strength " +
                       two_decimals(p.causal_strength);
    if (p.invalidation_reason) step += "; invalidated because " + *p.invalidation_reason;
    if (!p.corrections.empty())
      step += "; last correction " + p.corrections.back().operation + " at " + p.corrections.back().time_iso;
    steps.push_back(std::move(step));
    names.push_back(p.invalidation_reason ? p.key + "[invalidated:" + *p.invalidation_reason + "]" : p.key);
  }
  if (!names.empty()) clauses.push_back("it appears in causal patterns [" + joined(names, ", ") + "]");

  names.clear();
  for (const PolicyReference& h : item.policy_hints) {
    steps.push_back("policy hint " + h.id + " (" + h.key + ") is " + h.state + " as " + h.action_kind +
                    " with strength " + two_decimals(h.policy_strength));
    names.push_back(h.action_kind + ":" + h.key);
  }
  if (!names.empty()) clauses.push_back("it supports policy hints [" + joined(names, ", ") + "]");

  if (item.salience_explanation) {
    steps.push_back(*item.salience_explanation);
    clauses.push_back(*item.salience_explanation);
  }
  if (!item.reflection_references.empty()) {
    const std::string refs = joined(item.reflection_references, ", ");
    steps.push_back("related reflection findings [" + refs + "]");
    clauses.push_back("recent reflection findings reference it [" + refs + "]");
  }
  if (item.honesty_note) {
    steps.push_back(*item.honesty_note);
    clauses.push_back(*item.honesty_note);
  }

  ProvenanceChain chain;
  chain.record_id = item.record_id;
  chain.namespace_ = item.namespace_;
  chain.content_preview = item.content_preview;
  chain.build_latency_ms = build_latency_ms;
  chain.because_record_id = item.because_record_id;
  chain.because_preview = item.because_preview;
  chain.narrative = joined(clauses, "; ") + ".";
  chain.steps = std::move(steps);
  chain.belief = item.belief;
  chain.concepts = item.concepts;
  chain.causal_patterns = item.causal_patterns;
  chain.policy_hints = item.policy_hints;
  return chain;
}

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
