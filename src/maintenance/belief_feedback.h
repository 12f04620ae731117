// The feedback step of a maintenance cycle: causal patterns and policy hints
// push the confidence and volatility of the beliefs they rest on up or down,
// within per-cycle bounds, and every change is audited.
//
// The cycle holds the belief layer's write lock and the causal and policy
// layers' read locks around the call and saves the beliefs afterwards. With
// no layer derived yet there is nothing to feed back: the report is empty.
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
