// Provenance of records: which source type trust decisions use.
#pragma once

#include <string>

#include "model/record.h"

namespace vesk {

// The record's source type as trust decisions see it: a "recorded" record
// relayed by a model ("relayed_by_model" = "true") counts as "retrieved";
// a claim of certainty "hearsay" or "speculative" counts as "inferred" unless
// the source type is already "generated" or "inferred". Never fails.
std::string effective_source_type(const Record& record);

}  // namespace vesk
