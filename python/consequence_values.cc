// Consequence units, consequence policy hints, outcome receipts with their
// verdicts and evaluation evidence, and neighbour-mass footprints. The module
// registers and documents them, but no operation hands one out: the
// operations of these families answer with dicts or plain values.
#include "enum_classes.h"
#include "value_classes.h"

namespace vesk::py {

ClassObject& NativeClass<ConsequenceUnit>::object() {
  using T = ConsequenceUnit;
  static ValueClass<T> cls{"vesk._core.ConsequenceUnit",
                           nullptr,
                           {
                               field<&T::record_id>("record_id"),
                               field<&T::situation>("situation"),
                               field<&T::action>("action"),
                               field<&T::consequence>("consequence"),
                               field<&T::trust>("trust"),
                               field<&T::scope>("scope"),
                               field<&T::provenance>("provenance"),
                               field<&T::links>("links"),
                               field<&T::namespace_>("namespace"),
                               field<&T::captured_at>("captured_at"),
                           }};
  return cls;
}

ClassObject& NativeClass<ConsequencePolicyHint>::object() {
  using T = ConsequencePolicyHint;
  static ValueClass<T> cls{
      "vesk._core.ConsequencePolicyHint",
      "A runtime decision derived from the scar-protected consequence verdict for a\n"
      "`(situation, action)` pair. This is the actionable form of a verdict: an\n"
      "agent reads `hint` / `should_block` / `requires_evidence` before acting.\n"
      "\n"
      "Field names and the `hint` vocabulary (`avoid` / `prefer` / `verify_first`)\n"
      "are chosen to match what consuming agents expect, so the SDK can serve a\n"
      "`policy_hint` directly instead of every agent re-deriving it from the verdict.",
      {
          field<&T::situation>("situation"),
          field<&T::action>("action"),
          field<&T::hint>("hint", "One of: `avoid` | `prefer` | `verify_first`."),
          field<&T::reason>("reason", "Human-readable, LLM-free explanation of why this hint was chosen."),
          field<&T::verdict>("verdict", "`supports` | `refutes` | `inconclusive` \u2014 the underlying verdict."),
          field<&T::supports>("supports"),
          field<&T::refutes>("refutes"),
          field<&T::requires_evidence>("requires_evidence",
                                       "True when the action has no lived consequence yet (verify before relying)."),
          field<&T::should_block>("should_block",
                                  "True when a lived refutation says the agent should NOT take this action."),
          field<&T::scar>("scar",
                          "True when a refutation survived later supporting frequency (gaslight guard\n"
                          "fired): the world's \"no\" outranks the model's repeated \"yes\"."),
      }};
  return cls;
}

// `outcome` reads as a new OutcomeKind on every read.
ClassObject& NativeClass<OutcomeReceipt>::object() {
  using T = OutcomeReceipt;
  static ValueClass<T> cls{"vesk._core.OutcomeReceipt",
                           "Durable, content-free evidence that a retrieval attempt had an outcome.",
                           {
                               field<&T::schema_version>("schema_version"),
                               field<&T::receipt_id>("receipt_id"),
                               field<&T::task_id>("task_id"),
                               field<&T::lineage_id>("lineage_id"),
                               field<&T::attempt_id>("attempt_id"),
                               field<&T::candidate_record_ids>("candidate_record_ids"),
                               field<&T::selected_record_ids>("selected_record_ids"),
                               field<&T::outcome>("outcome"),
                               field<&T::supersedes_receipt_id>("supersedes_receipt_id"),
                               field<&T::namespace_>("namespace"),
                               field<&T::provenance>("provenance"),
                               field<&T::recorded_at_ms>("recorded_at_ms"),
                               field<&T::logging_policy_id>("logging_policy_id"),
                               field<&T::selected_set_probability_bps>("selected_set_probability_bps"),
                               field<&T::candidate_verdicts>("candidate_verdicts"),
                               field<&T::verifier_id>("verifier_id"),
                               field<&T::integrity_digest>("integrity_digest"),
                           }};
  return cls;
}

ClassObject& NativeClass<CandidateOutcomeVerdict>::object() {
  using T = CandidateOutcomeVerdict;
  static ValueClass<T> cls{"vesk._core.CandidateOutcomeVerdict",
                           "Optional terminal verdict for one candidate, supplied by an explicit\n"
                           "verifier rather than inferred from access or selection.",
                           {field<&T::record_id>("record_id"), field<&T::outcome>("outcome")}};
  return cls;
}

ClassObject& NativeClass<OutcomeEvaluationEvidence>::object() {
  using T = OutcomeEvaluationEvidence;
  static ValueClass<T> cls{"vesk._core.OutcomeEvaluationEvidence",
                           "Optional evidence needed for unbiased offline policy evaluation.\n"
                           "\n"
                           "selected_set_probability_bps is the logging policy probability of the\n"
                           "complete selected set, expressed as exact integer basis points (1..=10000).",
                           {
                               field<&T::logging_policy_id>("logging_policy_id"),
                               field<&T::selected_set_probability_bps>("selected_set_probability_bps"),
                               field<&T::candidate_verdicts>("candidate_verdicts"),
                               field<&T::verifier_id>("verifier_id"),
                           }};
  return cls;
}

// No attributes: the footprint comparison is the module function
// neighbor_mass_role_similarity, which takes neighbour id lists.
ClassObject& NativeClass<NeighborMassFootprint>::object() {
  static ValueClass<NeighborMassFootprint> cls{
      "vesk._core.NeighborMassFootprint",
      "A presence footprint over an entity's neighbor mass.\n"
      "\n"
      "Each distinct neighbor id lights `NEIGHBOR_MASS_HASHES_PER_NEIGHBOR` bits.\n"
      "Role similarity is the normalized Jaccard of two footprints' bits.",
      {}};
  return cls;
}

}  // namespace vesk::py
