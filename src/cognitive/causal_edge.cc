#include "cognitive/causal_edge.h"

namespace vesk {

std::string_view causal_edge_kind_word(CausalEdgeKind kind) {
  switch (kind) {
    case CausalEdgeKind::Precedes: return "precedes";
    case CausalEdgeKind::Causes: return "causes";
    case CausalEdgeKind::Enables: return "enables";
    case CausalEdgeKind::Refutes: return "refutes";
  }
  return "enables";
}

CausalEdgeKind classify_causal_edge(uint64_t support_count, uint64_t counterevidence, double transition_lift,
                                    uint64_t positive_effect_signals, uint64_t negative_effect_signals) {
  // The total is summed in 128 bits: two large 64-bit counts must not wrap
  // around to a small total and so inflate the counterevidence ratio.
  unsigned __int128 total = static_cast<unsigned __int128>(support_count) + counterevidence;
  if (total != 0) {
    float ratio = static_cast<float>(counterevidence) / static_cast<float>(total);
    if (ratio > 0.5f) return CausalEdgeKind::Precedes;
  }
  if (negative_effect_signals > positive_effect_signals) return CausalEdgeKind::Refutes;
  if (static_cast<float>(transition_lift) > 1.0f) return CausalEdgeKind::Causes;
  return CausalEdgeKind::Enables;
}

}  // namespace vesk
