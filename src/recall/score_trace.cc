#include "recall/score_trace.h"

namespace vesk {

ScoreTrace make_score_trace(const CandidateTrace* trace, float score) {
  ScoreTrace out;
  out.final_score = score;
  if (!trace) {
    out.rerank_delta = score;
    return out;
  }
  out.sdr = trace->sdr;
  out.bm25 = trace->bm25;
  out.ngram = trace->ngram;
  out.tags = trace->tags;
  out.embedding = trace->embedding;
  out.rrf_score = trace->rrf_score;
  out.graph_score = trace->graph_score;
  out.causal_score = trace->causal_score;
  out.pre_trust_score = trace->pre_trust_score;
  out.trust_multiplier = trace->trust_multiplier;
  out.pre_rerank_score = trace->final_score;
  out.rerank_delta = score - trace->final_score;
  return out;
}

}  // namespace vesk
