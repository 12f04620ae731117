#include "maintenance/concept_surface_telemetry.h"

namespace vesk {

ConceptSurfaceTelemetry concept_surface_telemetry(ConceptSurfaceMode mode, const Guarded<ConceptEngine>&) {
  ConceptSurfaceTelemetry out;
  switch (mode) {
    case ConceptSurfaceMode::Inspect: out.mode = "Inspect"; break;
    case ConceptSurfaceMode::Limited: out.mode = "Limited"; break;
    default: out.mode = "Off"; break;
  }
  return out;
}

}  // namespace vesk
