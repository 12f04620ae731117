// The SDR step of a maintenance cycle: the cycle SDR map, built from the
// store's record SDR map as a cache.
//
// The record SDR map (record id -> general-range SDR of the record's
// content) is filled by the store road for every record it stores and kept
// by the cycles: each cycle drops the entries of records outside its
// snapshot and adds the ones the snapshot lacks, so a record's SDR is encoded
// once and then shared (the same immutable SDR object) by the record SDR map
// and every cycle SDR map built after it.
//
// Locking: the record SDR map's write lock is held twice, briefly: once to
// drop stale entries and take the SDRs already there, once to put in the
// SDRs encoded in between. The encoding itself, the only work that grows
// with the text, runs with no lock held, on the thread pool, so the store
// road (which adds its own entries under that lock) never waits for it.
#pragma once

#include "base/guarded.h"
#include "maintenance/cycle_accounting.h"
#include "maintenance/cycle_snapshot.h"
#include "model/flat_map.h"

namespace vesk {

// Fills `out` with an SDR for every record of the snapshot and updates the
// record SDR map as above. Counts, in `hotspots`: sdr_vectors_reused (SDRs
// taken from the record SDR map), sdr_vectors_computed (encoded now; a record
// whose entry another writer added meanwhile takes that entry and counts as
// reused) and sdr_vectors_built (the size of `out`).
void build_cycle_sdrs(Guarded<FlatStringMap<SharedSdr>>& record_sdrs, const SdrEncoder& encoder,
                      const CycleSnapshot& snapshot, CycleSdrMap& out, MaintenanceHotspots& hotspots);

}  // namespace vesk
