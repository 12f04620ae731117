// Dict forms of the audit layer's results: outcome receipts, consequence
// units and applicability decisions. Keys in this order:
//
//   outcome receipt       schema_version receipt_id task_id lineage_id
//                         attempt_id candidate_record_ids selected_record_ids
//                         outcome supersedes_receipt_id namespace provenance
//                         recorded_at_ms logging_policy_id
//                         selected_set_probability_bps candidate_verdicts
//                         verifier_id integrity_digest
//     candidate verdict   record_id outcome
//   consequence unit      record_id situation action consequence trust scope
//                         provenance links namespace captured_at polarity
//                         readout
//   applicability         record_id decision requirements_total
//     decision            matched_fields missing_fields
//                         invalid_requirement_fields reasons
//                         conflicting_fields mismatches
//     conflict            field values
//     mismatch            field expected actual
//   applicability item    id content score level strength salience tags
//                         source_type namespace semantic_type metadata
//                         applicability
//
// Outcomes read "helpful", "unhelpful", "inconclusive"; a unit's polarity
// "supports", "refutes", "inconclusive" and its readout the one line of
// audit/consequence_readout.h; decisions "use", "reject", "unknown"; an
// item's level its display name ("DOMAIN"). A receipt without evaluation
// evidence shows None for the three optional fields and [] for the verdicts.
// Each returns a new dict, or null with the interpreter's error set.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "audit/applicability_decision.h"
#include "audit/consequence_unit.h"
#include "audit/outcome_receipt.h"
#include "recall/applicability_entry.h"

namespace vesk::py {

PyObject* outcome_receipt_dict(const OutcomeReceipt& receipt);
PyObject* consequence_unit_dict(const ConsequenceUnit& unit);
PyObject* applicability_decision_dict(const ApplicabilityDecision& decision);
PyObject* applicability_item_dict(const ApplicabilityEntry& entry);

}  // namespace vesk::py
