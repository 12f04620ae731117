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

}  // namespace vesk
