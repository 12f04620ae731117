// CycleContext: what one maintenance cycle hands to each of its phases.
//
// The cycle copies the maintenance configuration and the tag taxonomy once,
// at its start, so every phase works on the same settings even when a caller
// replaces them meanwhile (the change takes effect with the next cycle). The
// phases read the time through the store's Env and fill their fields of the
// cycle's timings and load accounting as they run.
#pragma once

#include <cstdint>

#include "base/env.h"
#include "maintenance/cycle_accounting.h"
#include "model/config_maintenance.h"
#include "model/config_taxonomy.h"

namespace vesk {

struct CycleContext {
  MaintenanceConfig config;
  TagTaxonomy taxonomy;
  // The background worker state's cycle counter, or 0 without a state. No
  // operation advances the counter, so the level fix's schedule sees 0.
  uint64_t cycle_number = 0;
  Env& env;
  PhaseTimings timings;
  MaintenanceHotspots hotspots;
};

}  // namespace vesk
