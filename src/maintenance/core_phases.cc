#include "maintenance/core_phases.h"

namespace vesk {

CorePhasesResult maintenance_core_phases(RecordMap& records, CognitiveStore&, CycleContext& cycle) {
  CorePhasesResult out;
  out.total_records = records.size();
  cycle.hotspots.records_before_cycle = out.total_records;
  return out;
}

}  // namespace vesk
