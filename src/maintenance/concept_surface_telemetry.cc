#include "maintenance/concept_surface_telemetry.h"

#include "cognitive/concept_surface.h"

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
    auto layer = concepts.read();
    const std::vector<SurfacedConcept> surfaced = surface_concepts(layer->concepts, std::nullopt, std::nullopt);
    StringSet namespaces;
    for (const SurfacedConcept& c : surfaced) namespaces.insert(c.namespace_);
    out.surfaced_concepts_available = surfaced.size();
    out.surfaced_namespaces = namespaces.size();
  }
  out.global_calls_since_last_cycle = counters.global_calls_since_last_cycle.exchange(0);
  out.namespace_calls_since_last_cycle = counters.namespace_calls_since_last_cycle.exchange(0);
  out.record_calls_since_last_cycle = counters.record_calls_since_last_cycle.exchange(0);
  out.concepts_returned_since_last_cycle = counters.concepts_returned_since_last_cycle.exchange(0);
  out.record_annotations_returned_since_last_cycle = counters.record_annotations_returned_since_last_cycle.exchange(0);
  return out;
}

}  // namespace vesk
