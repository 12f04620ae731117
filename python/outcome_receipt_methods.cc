// Outcome receipts: capturing one and listing them. Both answer with dicts
// of the receipt's 17 fields (audit/outcome_receipt_dict.h) and do their
// work without the interpreter lock.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "audit/outcome_receipt_dict.h"
#include "binding/json_result.h"
#include "vesk_object.h"

namespace vesk::py {
namespace {

// The outcome words are read before the lock is let go, so a refused word
// is a ValueError that nothing else has preceded. Evidence is present when
// any of its four parts is given; an empty dict of verdicts gives none.
Result<JsonObject> capture_outcome_receipt(Vesk& self, std::string task_id, std::string lineage_id,
                                           std::string attempt_id, std::vector<std::string> candidate_record_ids,
                                           std::vector<std::string> selected_record_ids, std::string outcome,
                                           std::optional<std::string> supersedes_receipt_id,
                                           std::optional<std::string> namespace_,
                                           std::optional<std::vector<std::string>> provenance,
                                           std::optional<std::string> logging_policy_id,
                                           std::optional<uint16_t> selected_set_probability_bps,
                                           std::optional<std::map<std::string, std::string>> candidate_verdicts,
                                           std::optional<std::string> verifier_id) {
  OutcomeReceiptInput input;
  Result<OutcomeKind> kind = parse_outcome_kind(outcome);
  if (!kind.ok()) return kind.status();
  input.outcome = *kind;
  std::vector<CandidateOutcomeVerdict> verdicts;
  if (candidate_verdicts) {
    for (auto& [record_id, word] : *candidate_verdicts) {
      Result<OutcomeKind> judged = parse_outcome_kind(word);
      if (!judged.ok()) return judged.status();
      verdicts.push_back(CandidateOutcomeVerdict{record_id, *judged});
    }
  }
  input.task_id = std::move(task_id);
  input.lineage_id = std::move(lineage_id);
  input.attempt_id = std::move(attempt_id);
  input.candidate_record_ids = std::move(candidate_record_ids);
  input.selected_record_ids = std::move(selected_record_ids);
  input.supersedes_receipt_id = std::move(supersedes_receipt_id);
  input.namespace_ = namespace_ ? std::move(*namespace_) : "default";
  input.provenance = provenance ? std::move(*provenance) : std::vector<std::string>{"sdk:python"};
  if (logging_policy_id || selected_set_probability_bps || verifier_id || !verdicts.empty()) {
    input.evidence = OutcomeEvaluationEvidence{std::move(logging_policy_id), selected_set_probability_bps,
                                               std::move(verdicts), std::move(verifier_id)};
  }
  return without_gil([&]() -> Result<JsonObject> {
    Result<OutcomeReceipt> receipt = self.capture_outcome_receipt(input);
    if (!receipt.ok()) return receipt.status();
    return outcome_receipt_to_dict(*receipt);
  });
}
constexpr Method kCaptureOutcomeReceipt{
    "Vesk",
    "capture_outcome_receipt($self, task_id, lineage_id, attempt_id, candidate_record_ids, selected_record_ids, "
    "outcome, supersedes_receipt_id=None, namespace=None, provenance=None, logging_policy_id=None, "
    "selected_set_probability_bps=None, candidate_verdicts=None, verifier_id=None)",
    capture_outcome_receipt};

Result<JsonValue::Array> outcome_receipts(Vesk& self, std::optional<std::string> namespace_,
                                          std::optional<std::string> lineage_id) {
  Result<std::vector<OutcomeReceipt>> receipts = self.outcome_receipts(namespace_, lineage_id);
  if (!receipts.ok()) return receipts.status();
  JsonValue::Array out;
  out.reserve(receipts->size());
  for (const OutcomeReceipt& r : *receipts) out.emplace_back(outcome_receipt_to_dict(r));
  return out;
}
constexpr Method kOutcomeReceipts{"Vesk", "outcome_receipts($self, namespace=None, lineage_id=None)",
                                  outcome_receipts, Gil::Released};

}  // namespace

MethodRows outcome_receipt_methods() { return {bind<kCaptureOutcomeReceipt>(), bind<kOutcomeReceipts>()}; }

}  // namespace vesk::py
