#include "value_classes.h"

namespace vesk::py {

// No attributes: the footprint comparison is the module function
// neighbor_mass_role_similarity, which takes neighbour id lists.
ClassObject& NativeClass<NeighborMassFootprint>::object() {
  static ValueClass<NeighborMassFootprint> cls{
      "vesk._core.NeighborMassFootprint",
      "A presence footprint over an entity's neighbor mass.\n"
      "\n"
      "Each distinct neighbor id lights `NEIGHBOR_MASS_HASHES_PER_NEIGHBOR` bits.\n"
      "Role similarity is the normalized Jaccard of two footprints' bits.",
      {}};
  return cls;
}

}  // namespace vesk::py
