// Dict forms of the cognitive layers' records, as the belief and policy hint
// reports return them (one dict per record in a list). Keys in this order:
//
//   belief        id key state winner_id hypothesis_ids score confidence
//                 support_mass conflict_mass stability volatility
//                 world_verdict should_abstain last_updated
//   policy hint   id key namespace domain action_kind recommendation state
//                 trigger_causal_ids trigger_concept_ids trigger_belief_ids
//                 supporting_record_ids cause_record_ids confidence
//                 utility_score risk_score policy_strength last_updated
//
// Texts of the enumerations: belief states and world verdicts are the variant
// names in lower case ("evidencedebt", one word); policy action kinds
// "prefer", "recommend", "verify_first", "avoid", "warn"; policy states
// "candidate", "stable", "suppressed", "rejected". `should_abstain` is not
// stored: it is true exactly for the verdict EvidenceDebt. A hint's evidence
// source floor is not shown. Each returns a new dict, or null with the
// interpreter's error set.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "cognitive/belief_layer.h"
#include "cognitive/policy_layer.h"

namespace vesk::py {

PyObject* belief_dict(const Belief& belief);
PyObject* policy_hint_dict(const PolicyHint& hint);

}  // namespace vesk::py
