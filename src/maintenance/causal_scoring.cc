#include "maintenance/causal_scoring.h"

#include <algorithm>
#include <cmath>

#include "base/finite.h"

namespace vesk {

float causal_outcome_stability(std::span<const float> strengths) {
  if (strengths.size() < 2) return 0.5f;
  double sum = 0.0;
  for (float s : strengths) sum += s;
  const double count = static_cast<double>(strengths.size());
  const double mean = sum / count;
  if (!(mean > 0.0)) return 0.5f;
  double squares = 0.0;
  for (float s : strengths) squares += (s - mean) * (s - mean);
  const double sd = std::sqrt(squares / count);
  return static_cast<float>(clamp_or(1.0 - sd / mean, 0.0, 1.0, 0.0));
}

float causal_strength(const CausalPattern& p, CausalEvidenceMode mode) {
  const bool trusted_explicit = mode == CausalEvidenceMode::ExplicitTrusted && p.explicit_support_count >= 1;
  if (p.support_count == 1 && !trusted_explicit) return 0.3f * p.transition_lift;
  const float support =
      std::min(static_cast<float>(std::log2(static_cast<double>(p.support_count) + 1.0)) / kCausalSupportSaturation,
               1.0f);
  return 0.35f * p.transition_lift + 0.3f * p.temporal_consistency + 0.2f * p.outcome_stability + 0.15f * support;
}

CausalGateVerdict judge_causal_gates(const CausalPattern& p, CausalEvidenceMode mode) {
  const uint64_t S = p.support_count, E = p.explicit_support_count, Tm = p.temporal_support_count;
  const uint64_t W = p.unique_temporal_windows, C = p.counterevidence, T = p.explicit_support_total_for_cause;
  const uint64_t V = p.explicit_effect_variants_for_cause, G = p.effect_record_signature_variants;
  const uint64_t P = p.positive_effect_signals, N = p.negative_effect_signals;
  const bool trusted = mode == CausalEvidenceMode::ExplicitTrusted;

  CausalGateVerdict v;
  v.support = S >= 2 || (trusted && E >= 1);
  v.repeated = E >= 2 || W >= 2 || (trusted && E == 1) ||
               (mode == CausalEvidenceMode::TemporalClusterRecovery && E == 0 && C == 0 && Tm >= 2 && G <= 1 &&
                N == 0 && P >= 1);

  // C + S >= 1 (S >= 1 for every candidate) and T >= E >= 2 > 0 where E/T is
  // read; the ratios are taken in double, in full precision.
  const double cs = static_cast<double>(C) + static_cast<double>(S);
  const bool counter_heavy = cs > 0.0 && static_cast<double>(C) / cs > 0.5;
  bool fails;
  if (trusted && E >= 1) {
    fails = counter_heavy || (P >= 1 && N >= 1);
  } else {
    const bool split = V >= 2 && T > 0 && static_cast<double>(E) / static_cast<double>(T) <= 0.7;
    fails = counter_heavy || split || (V >= 2 && E >= 2 && G >= 2 && P >= 2 && N >= 2) || (V <= 1 && E >= 2 && G >= 2);
  }
  v.counterfactual = !fails;
  return v;
}

CausalState decide_causal_state(const CausalGateVerdict& gates, float strength) {
  if (!gates.counterfactual || !gates.support || !gates.repeated) return CausalState::Rejected;
  if (strength >= 0.75f) return CausalState::Stable;
  if (strength >= 0.5f) return CausalState::Candidate;
  return CausalState::Rejected;
}

}  // namespace vesk
