// Dict forms of the audit layer's results: consequence units and
// applicability decisions (an outcome receipt's is made in the core,
// audit/outcome_receipt_dict.h). Keys in this order:
//
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
// A unit's polarity reads "supports", "refutes" or "inconclusive" and its
// readout is the one line of audit/consequence_readout.h; a decision reads
// "use", "reject" or "unknown"; an item's level is its display name
// ("DOMAIN").
// Each returns a new dict, or null with the interpreter's error set.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "audit/applicability.h"
#include "audit/consequence_unit.h"
#include "recall/applicability_entry.h"

namespace vesk::py {

PyObject* consequence_unit_dict(const ConsequenceUnit& unit);
PyObject* applicability_decision_dict(const ApplicabilityDecision& decision);
PyObject* applicability_item_dict(const ApplicabilityEntry& entry);

}  // namespace vesk::py
