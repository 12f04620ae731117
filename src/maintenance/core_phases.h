// The core phases of a maintenance cycle, its first phase group, over the
// live record map, in this order, each timed into the cycle's timings (also
// when switched off):
//
//   level fix   (when cycle number % level_fix_interval == 0; an interval
//               of 0 counts as 1) every Identity record, first rule that
//               holds: pinned, or an identity tag, stays; a non-identity
//               tag moves it to Domain; activation_count >= 20 and
//               strength >= 0.9 stays; else Domain
//   decay       (decay_enabled) every strength times its route-state factor
//               (route_state_decay.h); weak (below 0.05 or NaN) records
//               that is_archive_protected does not protect are archived;
//               every link below 0.05 or to an archived record is dropped,
//               the rest fade by 0.99
//   epistemic   always: update_epistemic_state (epistemic_update.h)
//   reflection  (reflect_enabled) promotion and archival in the cycle form
//               (reflection_pass.h): no validity test, links to the records
//               it archives stay
//   insights    (insights_enabled) the number of insights the detectors
//               find (insight_detectors.h)
//
// The caller holds the record map's write lock and journals what changed
// as one batch, with the removed ids; when that write fails it puts the map
// back and takes zero_core_counts instead of the result.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "maintenance/maintenance_cycle.h"
#include "maintenance/phase_reports.h"
#include "model/record_map.h"

namespace vesk {

struct CorePhasesResult {
  // Ids that were in the map when the phases began and are gone at the end:
  // archived by decay, then by reflection, each in map order.
  std::vector<std::string> removed_ids;
  // Records in the map when the phases began.
  uint64_t total_records = 0;
  DecayReport decay;
  ReflectReport reflect;
  EpistemicPhaseReport epistemic;
  uint64_t insights_found = 0;
};

// Also sets records_before_cycle of the cycle's hotspots to total_records.
CorePhasesResult maintenance_core_phases(RecordMap& records, CycleContext& cycle);

// What a cycle reports when its core batch could not be written: nothing
// removed, nothing counted but the records it started with.
inline CorePhasesResult zero_core_counts(const CorePhasesResult& r) {
  CorePhasesResult zero;
  zero.total_records = r.total_records;
  return zero;
}

}  // namespace vesk
