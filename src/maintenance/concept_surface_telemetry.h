// The concept surface telemetry of a maintenance cycle: the store's concept
// surface mode, what the surface would show now, and how it was used since
// the previous cycle.
//
// The five usage counters are taken and reset to 0 by one atomic exchange
// each, in field order, whatever the mode: calls counted after the exchange
// belong to the next cycle.
#pragma once

#include "base/guarded.h"
#include "cognitive/concept_layer.h"
#include "cognitive/concept_surface_counters.h"
#include "maintenance/cycle_accounting.h"
#include "recall/rerank_modes.h"

namespace vesk {

// `concepts` is read under its read lock, and only when the mode is not Off.
ConceptSurfaceTelemetry concept_surface_telemetry(ConceptSurfaceMode mode, const Guarded<ConceptEngine>& concepts,
                                                  ConceptSurfaceCounters& counters);

}  // namespace vesk
