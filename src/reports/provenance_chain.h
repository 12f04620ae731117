// Provenance chains: where a record came from (its cause) and the epistemic
// context it sits in (its belief, and the concepts, causal patterns and
// policy hints that name it), with a short narrative and the steps of it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "recall/explained_item.h"

namespace vesk {

struct ProvenanceChain {
  std::string record_id;
  std::string namespace_;
  std::string content_preview;
  double build_latency_ms = 0.0;  // how long building the chain took
  std::optional<std::string> because_record_id;
  std::optional<std::string> because_preview;
  std::string narrative;
  std::vector<std::string> steps;
  std::optional<BeliefSummary> belief;
  std::vector<ConceptReference> concepts;
  std::vector<CausalReference> causal_patterns;
  std::vector<PolicyReference> policy_hints;

  bool operator==(const ProvenanceChain&) const = default;
};

// The chain seen as an explained item (its `details`), from the chain alone:
// rank 1, score, salience and every score of the trace 0, no signal, no
// salience or reflection wording; the record, cause, belief and layer rows
// are the chain's. With U the belief's unresolved evidence (false without a
// belief):
//   has_unresolved_evidence    U
//   contradiction_dependency   a belief whose conflict mass is above 0, or U
//   honesty_note and           with U only: "This recommendation depends on
//   uncertainty_phrase         unresolved evidence." when the chain lists a
//                              policy hint, else "This memory is linked to
//                              unstable or conflicting evidence."
//   contradiction_phrase       "This answer should acknowledge conflicting or
//                              unresolved evidence." when contradiction_dependency
//   recommended_framing        U: "State the useful evidence, then explicitly
//                              note uncertainty or conflict."; else "State the
//                              answer directly without anthropomorphic language."
ExplainedRecallItem provenance_chain_details(const ProvenanceChain& chain);

// The chain of an explained item, with `build_latency_ms` as given: the
// item's record, cause, belief and links copied, and two lists built in one
// pass, each entry present only when its part is (x2 is a float with two
// decimals):
//   steps                              narrative clauses
//   record {id} in namespace {ns}      Record {id} surfaced in namespace {ns}
//   caused_by {id} from "{first 80     because it points to source record {id}
//     characters of the preview}"
//     (or caused_by {id} without one)
//   belief {id} is {state} at          it maps to belief {id} ({state},
//     confidence {x2}                    confidence {x2})
//   belief {id} carries unresolved     that belief remains epistemically
//     evidence (volatility {x2},         unstable (volatility {x2}, conflict
//     conflict {x2}, support {x2})       {x2}, support {x2})
//   concept {id} ({key}) is {state}    it participates in concepts [{keys}]
//     at confidence {x2}, each
//   causal pattern {id} ({key}) is     it appears in causal patterns [{key, or
//     {state} with strength {x2}         key[invalidated:{reason}]}]
//     [; invalidated because {reason}]
//     [; last correction {op} at {time}]
//   policy hint {id} ({key}) is        it supports policy hints
//     {state} as {kind} with strength    [{kind}:{key}]
//     {x2}, each
//   the salience explanation           the same
//   related reflection findings [..]   recent reflection findings reference it [..]
//   the honesty note                   the same
// Lists in brackets are joined by ", "; the narrative is its clauses joined
// by "; " with a full stop at the end.
ProvenanceChain explain_record_text(const ExplainedRecallItem& item, double build_latency_ms);

}  // namespace vesk
