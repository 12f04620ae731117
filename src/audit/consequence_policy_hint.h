// The consequence policy hint: what an agent should do about an action in a
// situation, from the verdict over the consequence units that match them.
// One lived refutation outweighs any number of supports: it blocks the
// action, and when supports stand beside it the refutation is a scar.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "audit/consequence_verdict.h"

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

// The hint for a verdict; `situation` and `action` are kept as given.
//   refutes       "avoid"         should_block; scar when supports > 0
//   supports      "prefer"
//   inconclusive  "verify_first"  requires_evidence
ConsequencePolicyHint consequence_policy_hint(std::string situation, std::string action,
                                              const ConsequenceVerdict& verdict);

}  // namespace vesk
