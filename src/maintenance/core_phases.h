// The core phases of a maintenance cycle, its first phase group: level fix,
// decay, epistemic update, reflection and insights over the live record map,
// each timed into the cycle's timings, with the records they changed or
// removed written to the journal as one batch.
//
// The cycle calls them holding the record map's write lock, and afterwards
// hands the removed ids to the index refresh. The phases change no record
// yet: they count the records and report nothing else.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "maintenance/maintenance_cycle.h"
#include "maintenance/phase_reports.h"
#include "model/record_map.h"
#include "storage/cognitive_store.h"

namespace vesk {

struct CorePhasesResult {
  // Ids that were in the map when the phases began and are gone at the end.
  std::vector<std::string> removed_ids;
  // Records in the map when the phases began.
  uint64_t total_records = 0;
  DecayReport decay;
  ReflectReport reflect;
  EpistemicPhaseReport epistemic;
  uint64_t insights_found = 0;
};

// Also sets records_before_cycle of the cycle's hotspots to total_records.
CorePhasesResult maintenance_core_phases(RecordMap& records, CognitiveStore& journal, CycleContext& cycle);

}  // namespace vesk
