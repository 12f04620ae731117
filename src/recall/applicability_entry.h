// One result of a recall annotated with its applicability decision: the
// record, its score and the decision, in the recall's ranking order. The
// annotation never reorders or drops a result.
#pragma once

#include <vector>

#include "audit/applicability.h"
#include "model/record.h"
#include "model/scored_record.h"

namespace vesk {

struct ApplicabilityEntry {
  Record record;
  float score = 0.0f;
  ApplicabilityDecision decision;

  bool operator==(const ApplicabilityEntry&) const = default;
};

// Each result with its decision for the current state (evaluate_requirements),
// in the answer's order, none dropped. Takes the records over.
std::vector<ApplicabilityEntry> annotate_applicability(std::vector<ScoredRecord> answer,
                                                       const CurrentState& current_state);

}  // namespace vesk
