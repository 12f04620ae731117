// Route-state decay: how fast a record fades by what its consequences said
// of it, read from its consequence tags.
//
//   route state   the record carries                        factor
//   Candidate     none of the three tags                     0.8
//   EvidenceDebt  "consequence-inconclusive" only            0.9
//   Confirmed     "consequence-support", no refute           0.98
//   Refuted       "consequence-refute" (ends the walk)       1.0
//
// A pinned record and a record at level Identity get 1.0 whatever their
// state: the decay never takes what the owner or the identity holds. Tags are
// compared exactly, case-sensitive. All factors are 32-bit.
#pragma once

#include "maintenance/route_state_class.h"
#include "model/record.h"

namespace vesk {

RouteStateClass route_state_of(const Record& record);

// Multiplies the record's strength in place by its factor and returns the
// new strength.
float route_state_decay_factor(Record& record);

}  // namespace vesk
