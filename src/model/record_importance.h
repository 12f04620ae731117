// How much a record matters, as one number: the ranking of the tier listing
// and of record search, and the `importance` a Python Record reports.
//
//   0.25 x level / 4 + 0.4 x strength + 0.2 x min(connections / 50, 1)
//   + 0.15 x min(activations / 20, 1) + 0.1 x salience clamped to [0, 1]
//
// in 32-bit floats, summed in that order. The weights add up to 1.1.
#pragma once

#include "model/record.h"

namespace vesk {

float record_importance(const Record& r);

}  // namespace vesk
