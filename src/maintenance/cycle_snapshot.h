// The cycle snapshot and the cycle SDR map: what the four layer phases of a
// maintenance cycle see of the records.
//
// The snapshot is taken once per cycle, right after the core phases, under
// the record map's write lock: a copy of every record valid at that moment
// (record_valid_at: valid_from absent or not later than now, valid_until
// absent or later than now, a bound that is not finite excluding the record),
// in the record map's order. The layer phases read only the snapshot, never
// the live map, so stores and recalls go on while the layers are rebuilt.
//
// The cycle SDR map holds, for every snapshot record, the SDR of its content
// in the general range with case folding, shared with the store's record SDR
// map (the SDR step, cycle_sdrs.h); the belief, concept and causal phases
// compare records by it.
#pragma once

#include "base/string_hash.h"
#include "index/sdr_encoder.h"
#include "model/record_map.h"

namespace vesk {

using CycleSnapshot = RecordMap;
using CycleSdrMap = StringKeyMap<SharedSdr>;

// The records of the map valid at `now` (Unix seconds), copied in map order;
// empty when `now` is not finite. The caller holds the record map's lock.
CycleSnapshot take_cycle_snapshot(const RecordMap& records, double now);

}  // namespace vesk
