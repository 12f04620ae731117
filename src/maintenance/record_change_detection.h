// Change detection of a maintenance pass: which records a pass changed or
// removed since the copy of the record map it took before its work, so that
// it journals exactly those as one batch.
//
// Two records are equal when every field is: texts and lists exactly, maps as
// sets of entries, optional values by presence and value, floats by numeric
// equality. A float that is not a number never equals itself, so a record
// holding one always counts as changed (and is journalled again).
#pragma once

#include <string>
#include <vector>

#include "model/record.h"
#include "model/record_map.h"

namespace vesk {

bool record_equals(const Record& a, const Record& b);

// From `cursor` on, the next record of `current` that `snapshot` lacks or
// holds differently, in map order; the cursor is left past it. Null (the
// cursor at the end) when there is none.
const Record* next_changed_record(const RecordMap& current, const RecordMap& snapshot,
                                  RecordMap::const_iterator& cursor);

// Every record next_changed_record yields, in map order: pointers into
// `current`, valid while it is not changed.
std::vector<const Record*> changed_records(const RecordMap& current, const RecordMap& snapshot);

// The ids of `snapshot` that `current` no longer holds, in the snapshot's
// order.
std::vector<std::string> removed_record_ids(const RecordMap& snapshot, const RecordMap& current);

}  // namespace vesk
