// ConsequencePolarity: whether a consequence (or a world fact) supports,
// refutes or leaves open what it is about. One byte.
#pragma once

#include <cstdint>
#include <string_view>

namespace vesk {

enum class ConsequencePolarity : uint8_t { Supports = 0, Refutes = 1, Inconclusive = 2 };

// "supports", "refutes" or "inconclusive".
std::string_view consequence_polarity_word(ConsequencePolarity polarity);

}  // namespace vesk
