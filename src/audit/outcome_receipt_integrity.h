// What makes an outcome receipt tamper-evident: its derived id, its
// integrity digest, and the checks a stored receipt must pass to be trusted.
//
// The id is the first 24 lower-case hex digits of the SHA-256 of
//   "{schema_version}\x1f{namespace}\x1f{task_id}\x1f{attempt_id}"
// so one attempt at a task has one id per schema, whatever its lineage,
// candidates or time.
//
// The digest is the SHA-256 (64 lower-case hex digits) of the digest
// material, one compact JSON array of the receipt's fields but the digest,
// in this order:
//
//    1 schema_version (number)        9 supersedes_receipt_id or null
//    2 receipt_id                    10 namespace
//    3 task_id                       11 provenance (array of strings)
//    4 lineage_id                    12 recorded_at_ms (number)
//    5 attempt_id                    schema 2 only:
//    6 candidate_record_ids (array)  13 logging_policy_id or null
//    7 selected_record_ids (array)   14 selected_set_probability_bps or null
//    8 outcome ("helpful", ...)      15 candidate_verdicts, [] when none, each
//                                       {"record_id":..,"outcome":..}
//                                    16 verifier_id or null
//
// Strings take the JSON writer's minimal escaping (json_writer.h): '"' and
// '\' escaped, \b \t \n \f \r, other bytes below 0x20 as \u00xx, everything
// else (0x7F and non-ASCII included) as its UTF-8 bytes. Numbers are plain
// decimal integers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "audit/outcome_receipt.h"
#include "base/status.h"

namespace vesk {

// Characters of a receipt id.
inline constexpr size_t kReceiptIdLength = 24;

std::string outcome_receipt_id(uint16_t schema_version, std::string_view namespace_, std::string_view task_id,
                               std::string_view attempt_id);

// The digest material of a receipt of schema 1 or 2; "unsupported outcome
// receipt schema version {v}" for any other version, before anything is
// written.
Result<std::string> outcome_receipt_digest_material(const OutcomeReceipt& receipt);
// The SHA-256 of the material, as 64 lower-case hex digits; the material's
// failure otherwise.
Result<std::string> outcome_receipt_integrity_digest(const OutcomeReceipt& receipt);

// The checks of a receipt read back from the audit journal, first failure
// wins (all Runtime):
//   schema 1 carries no evidence: "schema-v1 outcome receipt must not
//     contain evaluation evidence";
//   schema 2 carries evidence ("schema-v2 outcome receipt requires
//     evaluation evidence") that passes validate_outcome_evaluation_evidence
//     against the receipt's candidates;
//   any other schema: "unsupported outcome receipt schema version {v}";
//   the stored digest is the recomputed one: "outcome receipt integrity
//     mismatch: {receipt_id}".
Status check_stored_outcome_receipt(const OutcomeReceipt& receipt);

}  // namespace vesk
