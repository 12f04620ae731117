// The dominant phase of a maintenance cycle: the timed phase that took
// longest, with its time and its share of the whole cycle.
#pragma once

#include "maintenance/cycle_accounting.h"

namespace vesk {

// Fills dominant_phase, dominant_phase_ms and dominant_phase_share of
// `hotspots` from the thirteen phase timings, walked in the cycle's order
// ("level_fix", "decay", "reflect", "epistemic", "insights", "sdr_build",
// "belief", "concept", "causal", "policy", "consolidation",
// "cross_connections", "tasks_archival"): a later phase takes the place of
// the best so far unless the best took strictly longer, so a tie goes to the
// later phase and a cycle whose timings are all 0 names "tasks_archival".
// The share is the chosen time over total_ms, and 0 when total_ms is not
// above 0.
void fill_dominant_phase(const PhaseTimings& timings, MaintenanceHotspots& hotspots);

}  // namespace vesk
