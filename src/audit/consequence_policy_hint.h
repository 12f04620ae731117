// The consequence policy hint: what an agent should do about an action in a
// situation, from the verdict over the consequence units that match them.
// One lived refutation outweighs any number of supports: it blocks the
// action, and when supports stand beside it the refutation is a scar.
#pragma once

#include <cstdint>
#include <string>

namespace vesk {

struct ConsequencePolicyHint {
  std::string situation;
  std::string action;
  std::string hint;     // "avoid", "prefer" or "verify_first"
  std::string reason;   // fixed per hint
  std::string verdict;  // "supports", "refutes" or "inconclusive"
  uint64_t supports = 0;
  uint64_t refutes = 0;
  bool requires_evidence = false;  // no lived consequence yet
  bool should_block = false;       // a lived refutation stands
  bool scar = false;               // a refutation stands against supports

  bool operator==(const ConsequencePolicyHint&) const = default;
};

}  // namespace vesk
