// One result of a recall annotated with its applicability decision: the
// record, its score and the decision, in the recall's ranking order. The
// annotation never reorders or drops a result.
#pragma once

#include "audit/applicability.h"
#include "model/record.h"

namespace vesk {

struct ApplicabilityEntry {
  Record record;
  float score = 0.0f;
  ApplicabilityDecision decision;

  bool operator==(const ApplicabilityEntry&) const = default;
};

}  // namespace vesk
