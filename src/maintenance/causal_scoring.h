// The scores and gates of one causal pattern candidate, as the causal phase
// applies them (causal_phase.cc). Pure functions of a candidate's counts so
// that the policy layer and tests can reason about one pattern at a time.
//
// Inputs: S support_count, E explicit_support_count, Tm
// temporal_support_count, W unique_temporal_windows, C counterevidence, T
// explicit_support_total_for_cause, V explicit_effect_variants_for_cause, G
// effect_record_signature_variants, P positive_effect_signals, N
// negative_effect_signals.
//
// causal_strength (32-bit):
//   S = 1 and not (ExplicitTrusted with E >= 1): 0.3 × lift
//   otherwise: 0.35 × lift + 0.3 × consistency + 0.2 × stability
//              + 0.15 × min(log2(S + 1) / log2(21), 1)
//
// Gates:
//   support        S >= 2, or ExplicitTrusted with E >= 1
//   repeated       E >= 2, or W >= 2, or ExplicitTrusted with E = 1, or
//                  TemporalClusterRecovery with E = 0, C = 0, Tm >= 2,
//                  G <= 1, N = 0, P >= 1
//   counterfactual (fails when)
//                  ExplicitTrusted with E >= 1: C/(C+S) > 0.5, or P >= 1 and
//                  N >= 1; otherwise: C/(C+S) > 0.5; V >= 2 and E/T <= 0.7;
//                  V >= 2, E >= 2, G >= 2, P >= 2 and N >= 2; V <= 1, E >= 2
//                  and G >= 2
//
// State, after the gates: a failed counterfactual gate, or then a failed
// support or repeated gate, is Rejected; otherwise strength >= 0.75 is
// Stable, >= 0.5 Candidate, anything lower (or NaN) Rejected.
#pragma once

#include <span>

#include "cognitive/causal_layer.h"

namespace vesk {

// log2(21): the support term saturates at S = 20.
inline constexpr float kCausalSupportSaturation = 4.3923173f;

struct CausalGateVerdict {
  bool support = false;
  bool repeated = false;
  bool counterfactual = false;  // true: the gate passes

  bool operator==(const CausalGateVerdict&) const = default;
};

// Effect strengths -> 1 − sd/mean (population sd), clamped to [0, 1]; 0.5
// for fewer than two values or a mean that is not above 0.
float causal_outcome_stability(std::span<const float> strengths);

float causal_strength(const CausalPattern& p, CausalEvidenceMode mode);

CausalGateVerdict judge_causal_gates(const CausalPattern& p, CausalEvidenceMode mode);

// The state the gates and the strength give (Candidate, Stable or Rejected).
CausalState decide_causal_state(const CausalGateVerdict& gates, float strength);

}  // namespace vesk
