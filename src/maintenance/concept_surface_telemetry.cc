#include "maintenance/concept_surface_telemetry.h"

namespace vesk {

ConceptSurfaceTelemetry concept_surface_telemetry(ConceptSurfaceMode mode, const Guarded<ConceptEngine>& concepts,
                                                  ConceptSurfaceCounters& counters) {
  ConceptSurfaceTelemetry out;
  switch (mode) {
    case ConceptSurfaceMode::Inspect: out.mode = "Inspect"; break;
    case ConceptSurfaceMode::Limited: out.mode = "Limited"; break;
    default: out.mode = "Off"; break;
  }
  if (mode == ConceptSurfaceMode::Inspect || mode == ConceptSurfaceMode::Limited) {
    // The concept layer surfaces no concept yet: it keeps no surfacing
    // eligibility, so the surfaced set (at most 10, all namespaces) is empty.
    [[maybe_unused]] auto layer = concepts.read();
    out.surfaced_concepts_available = 0;
    out.surfaced_namespaces = 0;
  }
  out.global_calls_since_last_cycle = counters.global_calls_since_last_cycle.exchange(0);
  out.namespace_calls_since_last_cycle = counters.namespace_calls_since_last_cycle.exchange(0);
  out.record_calls_since_last_cycle = counters.record_calls_since_last_cycle.exchange(0);
  out.concepts_returned_since_last_cycle = counters.concepts_returned_since_last_cycle.exchange(0);
  out.record_annotations_returned_since_last_cycle = counters.record_annotations_returned_since_last_cycle.exchange(0);
  return out;
}

}  // namespace vesk
