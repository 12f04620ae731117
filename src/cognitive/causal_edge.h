// CausalEdgeKind: what kind of relation a causal edge stands for, named from
// signals its caller already has (no data is read here).
#pragma once

#include <cstdint>
#include <string_view>

namespace vesk {

enum class CausalEdgeKind : uint8_t { Precedes = 0, Causes = 1, Enables = 2, Refutes = 3 };

// Lower-case word of a kind: "precedes", "causes", "enables", "refutes".
std::string_view causal_edge_kind_word(CausalEdgeKind kind);

// The kind of an edge seen `support_count` times with the effect after the
// cause and `counterevidence` times with the effect and no cause:
//   - mostly counterevidence (ratio > 0.5 in 32-bit float): Precedes, order only;
//   - more negative than positive effect signals: Refutes;
//   - a transition lift above 1.0 as a 32-bit float: Causes;
//   - otherwise Enables.
// A NaN lift compares false and falls through to Enables.
CausalEdgeKind classify_causal_edge(uint64_t support_count, uint64_t counterevidence, double transition_lift,
                                    uint64_t positive_effect_signals, uint64_t negative_effect_signals);

}  // namespace vesk
