// Load-time repairs: what the open fixes in records written by older stores
// before anything else sees them.
#pragma once

#include <string>
#include <vector>

#include "model/journal_patch.h"
#include "storage/vesk_storage.h"

namespace vesk {

// Load-time repairs over the loaded map, in map order: pin from the record
// log, source-type confidence, incomplete supersedes, missing supersede times.
// Returns the repaired ids without repeats, in first-repair order.
std::vector<std::string> apply_load_time_repairs(RecordMap& records, const VeskStorage& storage);

}  // namespace vesk
