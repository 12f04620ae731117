// Explained result items: why one recalled record stands where it does, and
// how an answer built on it should be worded.
//
// An ExplainedRecallItem gathers, for one result: its score trace; the
// belief it belongs to (BeliefSummary); the concepts, causal patterns and
// policy hints that name it or its belief; the record that caused it; a
// sentence on its salience; the titles of recent reflection findings that
// touch it; and guidance for an answer (AnswerSupport). The explained recall
// builds one per selected result.
//
// Wording, byte for byte (s the record's salience, r its metadata value
// "salience_reason"):
//
//   salience_explanation   s >= 0.7: "High-significance memory due to r."
//                          (without r: "... due to elevated salience.");
//                          0 < s < 0.7: "This memory carries non-zero
//                          significance weighting."; otherwise none
//   caution note           only with unresolved evidence: "This
//                          recommendation depends on unresolved evidence."
//                          when policy hints link the record, else "This
//                          memory is linked to unstable or conflicting
//                          evidence."
//   contradiction_phrase   "This answer should acknowledge conflicting or
//                          unresolved evidence."
//   reflection_phrase      "Recent reflection findings touching this area: "
//                          + titles joined by ", " + "."
//   recommended_framing    unresolved evidence: "State the useful evidence,
//                          then explicitly note uncertainty or conflict.";
//                          else s >= 0.7: "State the answer confidently and
//                          note that this memory is high-significance.";
//                          else "State the answer directly without
//                          anthropomorphic language."
//
// State and kind texts are the layers' variant names in lower case
// ("verifyfirst" in one word). Character counts are Unicode scalar values.
//
// The builders change nothing and take no lock: the caller holds the record
// map and the four layers under their read locks, and hands in copies of
// the correction log and the reflection summaries read beforehand.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "audit/correction_log_entry.h"
#include "cognitive/belief_layer.h"
#include "cognitive/causal_layer.h"
#include "cognitive/concept_layer.h"
#include "cognitive/policy_layer.h"
#include "cognitive/reflection_summary.h"
#include "model/record.h"
#include "model/scored_record.h"
#include "recall/score_trace.h"

namespace vesk {

inline constexpr size_t kExplainPreviewChars = 160;
inline constexpr size_t kExplainCausePreviewChars = 120;
inline constexpr size_t kExplainReflectionTitles = 4;
inline constexpr float kHighSalience = 0.7f;
// A belief at least this volatile counts as unresolved evidence.
inline constexpr float kUnresolvedVolatility = 0.2f;

struct BeliefSummary {
  std::string id;
  std::string state;  // "resolved", "unresolved", "singleton" or "empty"
  std::string hypothesis_id;  // the hypothesis holding the record
  std::optional<std::string> winner_hypothesis_id;
  float hypothesis_score = 0.0f;
  // Of the winner, when the belief names one and the hypothesis map holds it.
  std::optional<float> winner_score;
  bool is_winning_hypothesis = false;
  float confidence = 0.0f;
  float support_mass = 0.0f;
  float conflict_mass = 0.0f;
  float stability = 0.0f;
  float volatility = 0.0f;
  // Unresolved or Empty; else volatility >= 0.2; else support < conflict.
  bool has_unresolved_evidence = false;

  bool operator==(const BeliefSummary&) const = default;
};

struct AnswerSupport {
  std::optional<std::string> significance_phrase;
  std::optional<std::string> uncertainty_phrase;
  std::optional<std::string> contradiction_phrase;
  std::optional<std::string> reflection_phrase;
  std::string recommended_framing;

  bool operator==(const AnswerSupport&) const = default;
};

struct ConceptReference {
  std::string id;
  std::string key;
  std::string state;  // "candidate", "stable" or "rejected"
  float confidence = 0.0f;

  bool operator==(const ConceptReference&) const = default;
};

struct CausalReference {
  std::string id;
  std::string key;
  std::string state;  // "candidate", "stable", "rejected" or "invalidated"
  float causal_strength = 0.0f;
  std::optional<std::string> invalidation_reason;
  std::optional<double> invalidated_at;
  // The correction log entries that target this pattern, in log order.
  std::vector<CorrectionLogEntry> corrections;

  bool operator==(const CausalReference&) const = default;
};

struct PolicyReference {
  std::string id;
  std::string key;
  std::string state;        // "candidate", "stable", "suppressed" or "rejected"
  std::string action_kind;  // "prefer", "recommend", "verifyfirst", "avoid" or "warn"
  float policy_strength = 0.0f;

  bool operator==(const PolicyReference&) const = default;
};

struct ExplainedRecallItem {
  uint64_t rank = 0;  // from 1
  std::string record_id;
  float score = 0.0f;
  std::string namespace_;
  float salience = 0.0f;
  std::optional<std::string> salience_reason;
  std::optional<std::string> salience_explanation;
  std::string content_preview;  // the first 160 characters
  std::optional<std::string> because_record_id;  // the record's caused_by_id
  std::optional<std::string> because_preview;    // the first 120 characters of the cause
  bool has_unresolved_evidence = false;
  std::optional<std::string> honesty_note;  // the caution note
  // Unresolved evidence, or a belief with conflict mass above 0.
  bool contradiction_dependency = false;
  std::vector<std::string> reflection_references;  // at most 4 titles
  AnswerSupport answer_support;
  std::optional<BeliefSummary> belief;
  // These three follow the iteration order of their layer's map.
  std::vector<ConceptReference> concepts;
  std::vector<CausalReference> causal_patterns;
  std::vector<PolicyReference> policy_hints;
  ScoreTrace trace;

  bool operator==(const ExplainedRecallItem&) const = default;
};

// The cognitive layers an explanation reads, held by the caller.
struct ExplainLayers {
  const BeliefEngine& beliefs;
  const ConceptEngine& concepts;
  const CausalEngine& causal;
  const PolicyEngine& policies;
};

// The belief that owns the record, with the record's hypothesis; none when
// the record has no hypothesis or its belief is missing.
std::optional<BeliefSummary> explain_belief_summary(const BeliefEngine& beliefs, std::string_view record_id);

// The explained item of the result at `rank` (from 1). `records` finds the
// cause of the record (any record of the map: no namespace, validity or
// access test); `trace` is the result's candidate trace, if any.
ExplainedRecallItem build_explained_item(uint64_t rank, const Record& record, const RecordLookup& records,
                                         const ExplainLayers& layers, float score,
                                         const std::vector<CorrectionLogEntry>& corrections,
                                         const std::vector<ReflectionSummary>& reflections,
                                         const CandidateTrace* trace);

// The entries of `corrections` whose target kind is "causal_pattern" and
// whose target id is `pattern_id`, in log order.
std::vector<CorrectionLogEntry> pattern_corrections(const std::vector<CorrectionLogEntry>& corrections,
                                                    std::string_view pattern_id);

// Whether any item names a causal pattern: only then does the correction log
// say anything about the items. Reading the log walks the audit journal's
// file, so a caller that builds items with an empty log and attaches the
// real one afterwards, when this is true, gets the same items and reads the
// file only when it matters.
bool links_causal_patterns(const std::vector<ExplainedRecallItem>& items);
// Sets the corrections of every causal reference of the items from
// `corrections`, as build_explained_item would have set them.
void attach_pattern_corrections(std::vector<ExplainedRecallItem>& items,
                                const std::vector<CorrectionLogEntry>& corrections);

std::optional<std::string> caution_note(bool has_policy_hints, bool has_unresolved_evidence);
// The contradiction phrase when the conflict mass is above 0 or there is
// unresolved evidence; none otherwise.
std::optional<std::string> answer_caution_note(bool has_unresolved_evidence, float conflict_mass);
// "Off" for false, "Limited" for true.
std::string_view surface_mode_name(bool limited);

}  // namespace vesk
