// A receipt with its required fields set and no optional one, and its JSON
// form: shared by the receipt tests and the audit entry tests.
#pragma once

#include <string>

#include "audit/outcome_receipt.h"

namespace vesk::testing {

inline OutcomeReceipt bare_receipt() {
  OutcomeReceipt r;
  r.schema_version = 1;
  r.receipt_id = "rc1";
  r.task_id = "t1";
  r.lineage_id = "l1";
  r.attempt_id = "a1";
  r.candidate_record_ids = {"aaaaaaaaaaaa", "bbbbbbbbbbbb"};
  r.selected_record_ids = {"aaaaaaaaaaaa"};
  r.outcome = OutcomeKind::Unhelpful;
  r.namespace_ = "default";
  r.provenance = {"agent"};
  r.recorded_at_ms = 1709251199123;
  r.integrity_digest = std::string(64, 'f');
  return r;
}

inline constexpr const char* kBareReceipt =
    R"({"schema_version":1,"receipt_id":"rc1","task_id":"t1","lineage_id":"l1","attempt_id":"a1",)"
    R"("candidate_record_ids":["aaaaaaaaaaaa","bbbbbbbbbbbb"],"selected_record_ids":["aaaaaaaaaaaa"],)"
    R"("outcome":"unhelpful","supersedes_receipt_id":null,"namespace":"default","provenance":["agent"],)"
    R"("recorded_at_ms":1709251199123,"integrity_digest":"ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff"})";

}  // namespace vesk::testing
