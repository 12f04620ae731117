// The store's four cognitive rerank modes: which layers may nudge a recall's
// ranking. Each is one byte of the main object, written and read whole.
#pragma once

#include <cstdint>

namespace vesk {

enum class BeliefRerankMode : uint8_t { Off = 0, Shadow = 1, Limited = 2 };
enum class ConceptSurfaceMode : uint8_t { Off = 0, Inspect = 1, Limited = 2 };
enum class CausalRerankMode : uint8_t { Off = 0, Limited = 1 };
enum class PolicyRerankMode : uint8_t { Off = 0, Limited = 1 };

}  // namespace vesk
