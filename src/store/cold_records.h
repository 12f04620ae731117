// Cold records: weak records the open keeps out of memory.
//
// A record whose strength has decayed below the floor stays in the journal
// and the record log but is not loaded into the record map, so it costs no
// memory and no index entries. Nothing is deleted: a later process that
// changes the rules can still read it.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>

#include "cognitive/startup_validation.h"
#include "model/journal_patch.h"
#include "model/record.h"
#include "base/string_hash.h"

namespace vesk {

// Records below this strength are weak.
inline constexpr float kColdStrengthFloor = 0.05f;

// Removes from `records` every record whose strength is below the floor (a NaN
// strength counts as below) and that is_archive_protected does not protect
// under `protected_tags`. Returns how many were removed.
size_t prune_weak_records_on_load(RecordMap& records, const StringSet& protected_tags);

// The event for records kept out of memory: surface "cold_records", status
// "excluded_from_active_indexes", not a recovery. `path` is the journal file
// as displayed; `detail` is "kept {} demoted records in the durable journal".
StartupValidationEvent cold_records_event(std::string path, std::string detail);

}  // namespace vesk
