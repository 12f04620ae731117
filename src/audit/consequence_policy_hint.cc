#include "audit/consequence_policy_hint.h"

#include <utility>

namespace vesk {

ConsequencePolicyHint consequence_policy_hint(std::string situation, std::string action,
                                              const ConsequenceVerdict& verdict) {
  ConsequencePolicyHint h;
  h.situation = std::move(situation);
  h.action = std::move(action);
  h.verdict = std::string(consequence_polarity_word(verdict.verdict));
  h.supports = verdict.supports;
  h.refutes = verdict.refutes;
  switch (verdict.verdict) {
    case ConsequencePolarity::Refutes:
      h.hint = "avoid";
      h.reason = "Prior lived consequence refuted this action in this situation.";
      h.should_block = true;
      h.scar = verdict.supports > 0;
      break;
    case ConsequencePolarity::Supports:
      h.hint = "prefer";
      h.reason = "Prior lived consequence supported this action in this situation.";
      break;
    case ConsequencePolarity::Inconclusive:
      h.hint = "verify_first";
      h.reason = "No lived consequence is available; verify before treating this as known.";
      h.requires_evidence = true;
      break;
  }
  return h;
}

}  // namespace vesk
