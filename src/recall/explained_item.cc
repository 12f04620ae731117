#include "recall/explained_item.h"

#include <algorithm>
#include <array>

#include "cognitive/belief_store_format.h"
#include "cognitive/causal_store_format.h"
#include "cognitive/concept_store_format.h"
#include "cognitive/policy_store_format.h"
#include "model/unicode_text.h"

namespace vesk {
namespace {

constexpr std::string_view kContradictionPhrase = "This answer should acknowledge conflicting or unresolved evidence.";

// A layer's variant name in lower case ("VerifyFirst" -> "verifyfirst").
template <class E, size_t N>
std::string variant_name(const std::array<std::string_view, N>& names, E value) {
  const auto i = static_cast<size_t>(value);
  std::string out(i < N ? names[i] : std::string_view());
  for (char& c : out) c = ascii_lower(c);
  return out;
}

bool holds(const std::vector<std::string>& ids, std::string_view id) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

// Whether a list holds the belief id; false without a belief.
bool holds_belief(const std::vector<std::string>& ids, const std::optional<std::string_view>& id) {
  return id && holds(ids, *id);
}

std::optional<std::string> salience_explanation(const Record& record) {
  const float s = record.salience;
  if (s >= kHighSalience) {
    auto reason = record.metadata.find("salience_reason");
    if (reason == record.metadata.end()) return "High-significance memory due to elevated salience.";
    return "High-significance memory due to " + reason->second + ".";
  }
  if (s > 0.0f) return "This memory carries non-zero significance weighting.";
  return std::nullopt;
}

std::vector<std::string> reflection_titles(const Record& record, const std::vector<ReflectionSummary>& reflections) {
  std::vector<std::string> titles;
  for (const ReflectionSummary& summary : reflections) {
    for (const ReflectionFinding& f : summary.findings) {
      if (f.namespace_ == record.namespace_ || holds(f.related_ids, record.id)) titles.push_back(f.title);
    }
  }
  std::sort(titles.begin(), titles.end());
  titles.erase(std::unique(titles.begin(), titles.end()), titles.end());
  if (titles.size() > kExplainReflectionTitles) titles.resize(kExplainReflectionTitles);
  return titles;
}

}  // namespace

std::optional<BeliefSummary> explain_belief_summary(const BeliefEngine& beliefs, std::string_view record_id) {
  std::optional<BeliefStateOfRecord> found = belief_state_for_record(beliefs, record_id);
  if (!found || !found->belief || !found->hypothesis) return std::nullopt;
  const Belief& b = *found->belief;
  const Hypothesis& h = *found->hypothesis;
  BeliefSummary s;
  s.id = b.id;
  s.state = variant_name(kBeliefStateNames, b.state);
  s.hypothesis_id = h.id;
  s.winner_hypothesis_id = b.winner_id;
  s.hypothesis_score = h.score;
  if (b.winner_id) {
    auto it = beliefs.hypotheses.find(*b.winner_id);
    if (it != beliefs.hypotheses.end()) s.winner_score = it->second.score;
  }
  s.is_winning_hypothesis = b.winner_id && *b.winner_id == h.id;
  s.confidence = b.confidence;
  s.support_mass = b.support_mass;
  s.conflict_mass = b.conflict_mass;
  s.stability = b.stability;
  s.volatility = b.volatility;
  if (b.state == BeliefState::Unresolved || b.state == BeliefState::Empty) {
    s.has_unresolved_evidence = true;
  } else if (b.volatility >= kUnresolvedVolatility) {
    s.has_unresolved_evidence = true;
  } else {
    s.has_unresolved_evidence = b.support_mass < b.conflict_mass;
  }
  return s;
}

ExplainedRecallItem build_explained_item(uint64_t rank, const Record& record, const RecordLookup& records,
                                         const ExplainLayers& layers, float score,
                                         const std::vector<CorrectionLogEntry>& corrections,
                                         const std::vector<ReflectionSummary>& reflections,
                                         const CandidateTrace* trace) {
  ExplainedRecallItem item;
  item.rank = rank;
  item.record_id = record.id;
  item.score = score;
  item.namespace_ = record.namespace_;
  item.salience = record.salience;

  // 1. The belief.
  item.belief = explain_belief_summary(layers.beliefs, record.id);
  std::optional<std::string_view> belief_id;
  if (item.belief) {
    belief_id = item.belief->id;
    item.has_unresolved_evidence = item.belief->has_unresolved_evidence;
    item.contradiction_dependency = item.has_unresolved_evidence || item.belief->conflict_mass > 0.0f;
  }

  // 2-4. What the layers say about the record or its belief.
  for (const auto& [id, c] : layers.concepts.concepts) {
    if (!holds(c.record_ids, record.id) && !holds_belief(c.belief_ids, belief_id)) continue;
    item.concepts.push_back({c.id, c.key, variant_name(kConceptStateNames, c.state), c.confidence});
  }
  for (const auto& [id, p] : layers.causal.patterns) {
    if (!holds(p.cause_record_ids, record.id) && !holds(p.effect_record_ids, record.id) &&
        !holds_belief(p.cause_belief_ids, belief_id) && !holds_belief(p.effect_belief_ids, belief_id)) {
      continue;
    }
    CausalReference ref{p.id, p.key, variant_name(kCausalStateNames, p.state), p.causal_strength,
                        p.invalidation_reason, p.invalidated_at, {}};
    ref.corrections = pattern_corrections(corrections, p.id);
    item.causal_patterns.push_back(std::move(ref));
  }
  for (const auto& [id, h] : layers.policies.hints) {
    if (!holds(h.supporting_record_ids, record.id) && !holds_belief(h.trigger_belief_ids, belief_id)) continue;
    item.policy_hints.push_back({h.id, h.key, variant_name(kPolicyStateNames, h.state),
                                 variant_name(kPolicyActionKindNames, h.action_kind), h.policy_strength});
  }

  // 5. The caution note.
  std::optional<std::string> caution = caution_note(!item.policy_hints.empty(), item.has_unresolved_evidence);
  item.honesty_note = caution;

  // 6. The cause.
  item.because_record_id = record.caused_by_id;
  if (record.caused_by_id) {
    if (const Record* cause = records(*record.caused_by_id)) {
      item.because_preview = std::string(first_chars(cause->content, kExplainCausePreviewChars));
    }
  }

  // 7-8. Salience and reflections.
  item.salience_explanation = salience_explanation(record);
  item.reflection_references = reflection_titles(record, reflections);

  // 9. Answer support.
  AnswerSupport& a = item.answer_support;
  a.significance_phrase = item.salience_explanation;
  a.uncertainty_phrase = std::move(caution);
  if (item.contradiction_dependency) a.contradiction_phrase = std::string(kContradictionPhrase);
  if (!item.reflection_references.empty()) {
    std::string phrase = "Recent reflection findings touching this area: ";
    for (size_t i = 0; i < item.reflection_references.size(); ++i) {
      if (i) phrase += ", ";
      phrase += item.reflection_references[i];
    }
    a.reflection_phrase = phrase + ".";
  }
  if (item.has_unresolved_evidence) {
    a.recommended_framing = "State the useful evidence, then explicitly note uncertainty or conflict.";
  } else if (record.salience >= kHighSalience) {
    a.recommended_framing = "State the answer confidently and note that this memory is high-significance.";
  } else {
    a.recommended_framing = "State the answer directly without anthropomorphic language.";
  }

  // 10. The rest.
  if (auto reason = record.metadata.find("salience_reason"); reason != record.metadata.end()) {
    item.salience_reason = reason->second;
  }
  item.content_preview = std::string(first_chars(record.content, kExplainPreviewChars));
  item.trace = make_score_trace(trace, score);
  return item;
}

std::vector<CorrectionLogEntry> pattern_corrections(const std::vector<CorrectionLogEntry>& corrections,
                                                    std::string_view pattern_id) {
  std::vector<CorrectionLogEntry> out;
  for (const CorrectionLogEntry& e : corrections) {
    if (e.target_kind == "causal_pattern" && e.target_id == pattern_id) out.push_back(e);
  }
  return out;
}

bool links_causal_patterns(const std::vector<ExplainedRecallItem>& items) {
  return std::any_of(items.begin(), items.end(),
                     [](const ExplainedRecallItem& i) { return !i.causal_patterns.empty(); });
}

void attach_pattern_corrections(std::vector<ExplainedRecallItem>& items,
                                const std::vector<CorrectionLogEntry>& corrections) {
  for (ExplainedRecallItem& item : items) {
    for (CausalReference& ref : item.causal_patterns) ref.corrections = pattern_corrections(corrections, ref.id);
  }
}

std::optional<std::string> caution_note(bool has_policy_hints, bool has_unresolved_evidence) {
  if (!has_unresolved_evidence) return std::nullopt;
  if (has_policy_hints) return "This recommendation depends on unresolved evidence.";
  return "This memory is linked to unstable or conflicting evidence.";
}

std::optional<std::string> answer_caution_note(bool has_unresolved_evidence, float conflict_mass) {
  if (conflict_mass > 0.0f || has_unresolved_evidence) return std::string(kContradictionPhrase);
  return std::nullopt;
}

std::string_view surface_mode_name(bool limited) { return limited ? "Limited" : "Off"; }

}  // namespace vesk
