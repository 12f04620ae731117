// Score traces: what each signal and each later stage of the explained
// recall did to one candidate's score.
//
// The explanation pipeline (explain_pipeline.h) keeps a CandidateTrace per
// candidate id. What reaches the caller is a ScoreTrace: the candidate trace
// and the result's final score s, which may differ from the trace's own
// final score by what the cognitive rerank did after the pipeline.
//
//   ScoreTrace field    from a CandidateTrace t          without one
//   the five signals    t's                              absent
//   rrf_score .. trust_multiplier  t's                   0
//   pre_rerank_score    t.final_score                    0
//   rerank_delta        s - t.final_score                s
//   final_score         s                                s
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/string_hash.h"

namespace vesk {

// What one signal's ranked list did for one candidate.
struct SignalContribution {
  float raw_score = 0.0f;  // the score the list gave the candidate
  uint64_t rank = 0;       // position in the list, 0 at the top
  // The candidate's reciprocal-rank term from this list, normalised as the
  // fusion normalises its sums.
  float rrf_share = 0.0f;

  bool operator==(const SignalContribution&) const = default;
};

struct CandidateTrace {
  std::optional<SignalContribution> sdr, bm25, ngram, tags, embedding;
  std::string record_id;
  float rrf_score = 0.0f;     // the sum of the shares
  float graph_score = 0.0f;   // the score the connection expansion added it with
  float causal_score = 0.0f;  // the score the cause-chain expansion added it with
  float pre_trust_score = 0.0f;
  float trust_multiplier = 0.0f;  // the factor of the trust stage
  float final_score = 0.0f;       // after the trust stage

  bool operator==(const CandidateTrace&) const = default;
};

// Candidate id -> its trace, for one pipeline run.
using CandidateTraceMap = StringKeyMap<CandidateTrace>;

struct ScoreTrace {
  std::optional<SignalContribution> sdr, bm25, ngram, tags, embedding;
  float rrf_score = 0.0f;
  float graph_score = 0.0f;
  float causal_score = 0.0f;
  float pre_trust_score = 0.0f;
  float trust_multiplier = 0.0f;
  float pre_rerank_score = 0.0f;
  float rerank_delta = 0.0f;
  float final_score = 0.0f;

  bool operator==(const ScoreTrace&) const = default;
};

// The trace of a result with final score `score` (table above).
ScoreTrace make_score_trace(const CandidateTrace* trace, float score);

}  // namespace vesk
