// The verdict of the lived consequences on one (situation, action) pair: how
// many matching units support, refute or leave it open, and the decision.
// One refutation outweighs any number of supports: Refutes when any unit
// refutes, else Supports when any supports, else Inconclusive.
#pragma once

#include <cstdint>

#include "audit/consequence_polarity.h"

namespace vesk {

struct ConsequenceVerdict {
  uint64_t supports = 0;
  uint64_t refutes = 0;
  ConsequencePolarity verdict = ConsequencePolarity::Inconclusive;
  uint64_t inconclusive = 0;

  // Counts one unit of that polarity and decides again.
  void count(ConsequencePolarity polarity);

  bool operator==(const ConsequenceVerdict&) const = default;
};

}  // namespace vesk
