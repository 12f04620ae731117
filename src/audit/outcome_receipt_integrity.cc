#include "audit/outcome_receipt_integrity.h"

#include "audit/outcome_receipt_validation.h"
#include "base/sha256.h"
#include "model/json_writer.h"

namespace vesk {
namespace {

void write_optional(JsonWriter& w, const std::optional<std::string>& s) {
  if (s) {
    w.string(*s);
  } else {
    w.null();
  }
}

void write_strings(JsonWriter& w, const std::vector<std::string>& items) {
  w.begin_array();
  for (const std::string& s : items) w.string(s);
  w.end_array();
}

Status unsupported_schema(uint16_t version) {
  return Status::Runtime("unsupported outcome receipt schema version " + std::to_string(version));
}

}  // namespace

std::string outcome_receipt_id(uint16_t schema_version, std::string_view namespace_, std::string_view task_id,
                               std::string_view attempt_id) {
  std::string text = std::to_string(schema_version);
  for (std::string_view part : {namespace_, task_id, attempt_id}) {
    text.push_back('\x1f');
    text.append(part);
  }
  return sha256_hex(text).substr(0, kReceiptIdLength);
}

Result<std::string> outcome_receipt_digest_material(const OutcomeReceipt& r) {
  if (r.schema_version != 1 && r.schema_version != 2) return unsupported_schema(r.schema_version);
  std::string out;
  JsonWriter w(out);
  w.begin_array();
  w.u64(r.schema_version);
  w.string(r.receipt_id);
  w.string(r.task_id);
  w.string(r.lineage_id);
  w.string(r.attempt_id);
  write_strings(w, r.candidate_record_ids);
  write_strings(w, r.selected_record_ids);
  w.string(outcome_kind_name(r.outcome));
  write_optional(w, r.supersedes_receipt_id);
  w.string(r.namespace_);
  write_strings(w, r.provenance);
  w.u64(r.recorded_at_ms);
  if (r.schema_version == 2) {
    write_optional(w, r.logging_policy_id);
    if (r.selected_set_probability_bps) {
      w.u64(*r.selected_set_probability_bps);
    } else {
      w.null();
    }
    serialize_candidate_verdicts(w, r.candidate_verdicts);
    write_optional(w, r.verifier_id);
  }
  w.end_array();
  return out;
}

Result<std::string> outcome_receipt_integrity_digest(const OutcomeReceipt& receipt) {
  Result<std::string> material = outcome_receipt_digest_material(receipt);
  if (!material.ok()) return material.status();
  return sha256_hex(*material);
}

Status check_stored_outcome_receipt(const OutcomeReceipt& receipt) {
  const std::optional<OutcomeEvaluationEvidence> evidence = outcome_receipt_evaluation_evidence(receipt);
  switch (receipt.schema_version) {
    case 1:
      if (evidence) return Status::Runtime("schema-v1 outcome receipt must not contain evaluation evidence");
      break;
    case 2:
      if (!evidence) return Status::Runtime("schema-v2 outcome receipt requires evaluation evidence");
      VESK_RETURN_IF_ERROR(validate_outcome_evaluation_evidence(*evidence, receipt.candidate_record_ids));
      break;
    default:
      return unsupported_schema(receipt.schema_version);
  }
  Result<std::string> digest = outcome_receipt_integrity_digest(receipt);
  if (!digest.ok()) return digest.status();
  if (*digest != receipt.integrity_digest) {
    return Status::Runtime("outcome receipt integrity mismatch: " + receipt.receipt_id);
  }
  return Status::Ok();
}

}  // namespace vesk
