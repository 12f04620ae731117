// Value classes of the module: read-only results with one attribute per
// member of their C++ struct, no constructor (binding/native.h, ValueClass).
// Including this header lets a body return these C++ types directly.
#pragma once

#include "binding/native.h"
#include "cognitive/persistence_manifest.h"
#include "cognitive/startup_validation.h"
#include "entities/neighbor_mass.h"

namespace vesk::py {

template <> struct NativeClass<NeighborMassFootprint> { static ClassObject& object(); };
template <> struct NativeClass<StartupValidationEvent> { static ClassObject& object(); };
template <> struct NativeClass<StartupValidationReport> { static ClassObject& object(); };
template <> struct NativeClass<PersistenceManifest> { static ClassObject& object(); };

}  // namespace vesk::py
