// RecallExplanation: what an explained recall returns (Vesk::explain_recall):
// a fresh trace id, the selected results as explained items, the candidates
// it passed over with the reasons, counts, and the rerank modes in force.
//
// Rejection reasons, at most three per candidate, in this order:
//
//   reason                             when
//   "invalid_temporal_bounds"          a set valid_from or valid_until is not finite
//   "not_yet_valid"                    otherwise, valid_from is later than now
//   "expired"                          otherwise, valid_until is not later than now
//   "below_strength_threshold"         strength is below min_strength
//   "outside_top_k"                    none of the four above applies
//   "suppressed_by_belief_resolution"  its belief is resolved and the
//                                      candidate's hypothesis did not win
//
// Candidates come from the traces of both pipeline runs (the run over the
// records valid now, then the wider run over the whole namespaces) and are
// reported best first by rrf_score, then by record id; at most 100 are
// reported, while the counts cover all. A record the anonymous access test
// refuses (restricted, or an unknown visibility) is never reported or
// counted: the explanation would otherwise show a preview of a record that
// no recall may return.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/env.h"
#include "base/status.h"
#include "base/string_hash.h"
#include "cognitive/belief_layer.h"
#include "model/record.h"
#include "model/scored_record.h"
#include "recall/explained_item.h"
#include "recall/score_trace.h"

namespace vesk {

inline constexpr size_t kMaxReportedRejections = 100;

struct DecisionSummary {
  uint64_t evaluated_candidate_count = 0;  // selected + rejected
  uint64_t selected_count = 0;
  uint64_t rejected_count = 0;           // before the cut to 100
  uint64_t reported_rejected_count = 0;  // after it
  uint64_t omitted_rejected_count = 0;
  std::map<std::string, uint64_t> rejection_counts;  // reason -> candidates, before the cut

  bool operator==(const DecisionSummary&) const = default;
};

struct RejectedCandidate {
  std::string record_id;
  std::string namespace_;
  std::string content_preview;  // the first 160 characters
  std::vector<std::string> reasons;
  float strength = 0.0f;
  std::optional<double> valid_from;
  std::optional<double> valid_until;
  std::optional<BeliefSummary> belief;
  // Its own final score as the final score: no rerank delta.
  ScoreTrace trace;

  bool operator==(const RejectedCandidate&) const = default;
};

struct RecallExplanation {
  std::string trace_id;       // "mem_" + 32 lower-case hex digits of a v4 UUID
  double evaluated_at = 0.0;  // Unix seconds
  std::string query;
  uint64_t top_k = 0;
  uint64_t result_count = 0;
  double latency_ms = 0.0;
  std::string belief_rerank_mode;    // "off", "shadow" or "limited"
  std::string concept_surface_mode;  // "off", "inspect" or "limited"
  std::string causal_rerank_mode;    // "off" or "limited"
  std::string policy_rerank_mode;    // "off" or "limited"
  DecisionSummary decision_summary;
  std::vector<ExplainedRecallItem> items;  // best first
  std::vector<RejectedCandidate> rejected_candidates;  // at most 100

  bool operator==(const RecallExplanation&) const = default;
};

// "mem_" and the 32 hex digits of a version 4 UUID drawn from the Env's
// random source; fails with "could not retrieve random bytes for uuid: "
// and the source's error.
Result<std::string> new_recall_trace_id(Env& env);

// The reasons of the table above for a candidate at `now`.
std::vector<std::string> rejection_reasons(const Record& record, double now, float min_strength,
                                           const std::optional<BeliefSummary>& belief);

// The traces of the wider run with those of the first run laid over them.
CandidateTraceMap merge_candidate_traces(CandidateTraceMap wider, const CandidateTraceMap& first);

// The rejected candidates of the merged traces: every id not selected whose
// record `namespace_records` finds and the access test allows, with its
// reasons, sorted and cut as above; fills the rejection part of `summary`.
std::vector<RejectedCandidate> rejected_candidates(const CandidateTraceMap& traces, const StringSet& selected,
                                                   const RecordLookup& namespace_records,
                                                   const BeliefEngine& beliefs, double now, float min_strength,
                                                   DecisionSummary& summary);

}  // namespace vesk
