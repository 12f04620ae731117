#include "audit/outcome_receipt_dict.h"

#include <optional>
#include <string>
#include <vector>

namespace vesk {
namespace {

JsonValue strings(const std::vector<std::string>& items) {
  JsonValue::Array out;
  out.reserve(items.size());
  for (const std::string& s : items) out.emplace_back(s);
  return out;
}

template <class T>
JsonValue optional_value(const std::optional<T>& v) {
  return v ? JsonValue(*v) : JsonValue();
}

}  // namespace

JsonObject outcome_receipt_to_dict(const OutcomeReceipt& r) {
  JsonObject o;
  o.reserve(17);
  o.append("schema_version", JsonValue(static_cast<uint64_t>(r.schema_version)));
  o.append("receipt_id", r.receipt_id);
  o.append("task_id", r.task_id);
  o.append("lineage_id", r.lineage_id);
  o.append("attempt_id", r.attempt_id);
  o.append("candidate_record_ids", strings(r.candidate_record_ids));
  o.append("selected_record_ids", strings(r.selected_record_ids));
  o.append("outcome", outcome_kind_name(r.outcome));
  o.append("supersedes_receipt_id", optional_value(r.supersedes_receipt_id));
  o.append("namespace", r.namespace_);
  o.append("provenance", strings(r.provenance));
  o.append("recorded_at_ms", JsonValue(r.recorded_at_ms));
  o.append("logging_policy_id", optional_value(r.logging_policy_id));
  std::optional<uint64_t> bps;
  if (r.selected_set_probability_bps) bps = *r.selected_set_probability_bps;
  o.append("selected_set_probability_bps", optional_value(bps));
  JsonValue::Array verdicts;
  verdicts.reserve(r.candidate_verdicts.size());
  for (const CandidateOutcomeVerdict& v : r.candidate_verdicts) {
    JsonObject verdict;
    verdict.append("record_id", v.record_id);
    verdict.append("outcome", outcome_kind_name(v.outcome));
    verdicts.emplace_back(std::move(verdict));
  }
  o.append("candidate_verdicts", std::move(verdicts));
  o.append("verifier_id", optional_value(r.verifier_id));
  o.append("integrity_digest", r.integrity_digest);
  return o;
}

}  // namespace vesk
