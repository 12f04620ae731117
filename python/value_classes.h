// Value classes of the module: read-only results with one attribute per
// member of their C++ struct, no constructor (binding/native.h, ValueClass).
// Including this header lets a body return these C++ types directly.
#pragma once

#include "binding/native.h"
#include "entities/neighbor_mass.h"

namespace vesk::py {

template <> struct NativeClass<NeighborMassFootprint> { static ClassObject& object(); };

}  // namespace vesk::py
