// The form in which a caller receives an outcome receipt: an object of the
// receipt's 17 fields, in field order, under their own names.
//
//   texts                            strings
//   id lists and provenance          arrays of strings
//   "outcome"                        "helpful", "unhelpful" or "inconclusive"
//   "schema_version", "recorded_at_ms",
//   "selected_set_probability_bps"   integers
//   absent optional values           null
//   "candidate_verdicts"             an array of {"record_id", "outcome"}
#pragma once

#include "audit/outcome_receipt.h"
#include "model/json_value.h"

namespace vesk {

JsonObject outcome_receipt_to_dict(const OutcomeReceipt& receipt);

}  // namespace vesk
