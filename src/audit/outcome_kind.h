// OutcomeKind: the externally observed result of one retrieval attempt. One
// byte.
#pragma once

#include <cstdint>

namespace vesk {

enum class OutcomeKind : uint8_t { Helpful = 0, Unhelpful = 1, Inconclusive = 2 };

}  // namespace vesk
