// The explanation pipeline: the recall pipeline (recall_pipeline.h) run with
// a trace of every candidate, for the explained recall.
//
// It performs the same stages with the same constants, fusion, expansions
// and recall order, except that:
//
//   1. every non-empty list is fused, in the order sdr, bm25, ngram, tags,
//      embedding, whatever the trust model's fusion mode says (as "equal");
//   2. before fusing, each pair at rank r of each of the m kept lists adds
//      its share 1 / (r + 61) / (m / 61) to its id's rrf_score and fills
//      that list's slot of the trace; rrf_score is thus the fused score but
//      for last-bit differences (the share divides each term, the fusion
//      divides the sum);
//   3. a record that the connection expansion added has its graph_score,
//      one that the cause-chain expansion added its causal_score;
//   4. the trust stage multiplies each score by the factor
//      trust_multiplier x strength (in that order, 32-bit) and records the
//      score before, the factor and the score after;
//   5. no diversity penalty is applied and no recall_pipeline span opened.
//
// The trace map keeps every id that a list held or a stage touched, whether
// or not it survived the fusion's filter or the cut to k; an entry that never
// reached the trust stage keeps 0 in its three fields. Like the recall
// pipeline it is a pure computation over state its caller holds locked.
#pragma once

#include <vector>

#include "model/scored_record.h"
#include "recall/recall_pipeline.h"
#include "recall/score_trace.h"

namespace vesk {

struct ExplainPipelineResult {
  std::vector<ScoredRecord> results;  // at most k, in the recall order
  CandidateTraceMap traces;
};

// The input's fusion mode is not read; `in.top_k` is k.
ExplainPipelineResult explain_recall_pipeline(const RecallPipelineInput& in, const LexicalCollectors& collectors);

}  // namespace vesk
