// The feedback step of a maintenance cycle: causal patterns and policy hints
// push the confidence and volatility of the beliefs they rest on up or down,
// within per-cycle bounds, and every contribution is audited.
//
// Candidates. Each hint that is neither Suppressed nor Rejected and names
// trigger beliefs proposes, for each of them (a repeated id each time),
//   c = f × s × weight, f = 0.6 (Candidate) or 1.0 (Stable), s = max(strength, 0),
//   weight Prefer 0.05, Recommend 0.03, VerifyFirst -0.06, Avoid -0.10, Warn -0.03,
//   v = s × 0.01 when c < 0, else s × -0.005,
// with the reason "{state}:{action}" in lower case. Each pattern proposes for
// its cause beliefs, then its effect beliefs not already listed:
//   Candidate  c = 0.015 s, v = -0.01 s        "candidate_pattern"
//   Stable     c = 0.03 s,  v = -0.02 s        "stable_pattern"
//   Rejected   c = -(0.02 + 0.04 r), v = 0.03 + 0.12 r, with
//              r = min(counterevidence / max(support + counterevidence, 1), 1)
//                                              "rejected_pattern:counterevidence={n}"
//   Invalidated patterns propose nothing.
//
// Per belief, in the candidate map's order: the sums C and V (in list order)
// are bounded to [-0.18, 0.08] and [-0.06, 0.20]; the results to [0.05, 1]
// and [0, 1]. A belief whose confidence and volatility would both move by
// less than 2^-23 is left alone and reported nowhere; otherwise its score is
// rescaled by new/old confidence (set to the new confidence when the old one
// is not above 0), `last_updated` becomes now, and each candidate gets an
// entry with its share of the applied change. A belief that no longer exists
// is passed over.
//
// All arithmetic is in 32-bit floats; a NaN strength counts as 0, and a NaN
// that reaches a sum passes through the bounds as the float operations give
// it, so no input makes the step fail.
//
// The cycle holds the belief layer's write lock and the causal and policy
// layers' read locks around the call and saves the beliefs afterwards.
#pragma once

#include "base/env.h"
#include "cognitive/belief_layer.h"
#include "cognitive/causal_layer.h"
#include "cognitive/policy_layer.h"
#include "maintenance/phase_reports.h"

namespace vesk {

// `env` gives the time a changed belief records as its last update.
FeedbackAuditReport feed_back_into_beliefs(BeliefEngine& beliefs, const CausalEngine& causal,
                                           const PolicyEngine& policies, Env& env);

}  // namespace vesk
