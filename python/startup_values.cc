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

// What opening the store found for each persisted surface. No docstrings.
ClassObject& NativeClass<StartupValidationEvent>::object() {
  using T = StartupValidationEvent;
  static ValueClass<T> cls{"vesk._core.StartupValidationEvent",
                           "",
                           {field<&T::surface>("surface"), field<&T::path>("path"), field<&T::status>("status"),
                            field<&T::detail>("detail"), field<&T::recovered>("recovered")}};
  return cls;
}

ClassObject& NativeClass<StartupValidationReport>::object() {
  using T = StartupValidationReport;
  static ValueClass<T> cls{"vesk._core.StartupValidationReport",
                           "",
                           {field<&T::loaded_surfaces>("loaded_surfaces"),
                            field<&T::missing_fallbacks>("missing_fallbacks"),
                            field<&T::recovered_fallbacks>("recovered_fallbacks"),
                            field<&T::derived_skips>("derived_skips"),
                            field<&T::has_recovery_warnings>("has_recovery_warnings"), field<&T::events>("events")}};
  return cls;
}

ClassObject& NativeClass<PersistenceManifest>::object() {
  using T = PersistenceManifest;
  static ValueClass<T> cls{"vesk._core.PersistenceManifest",
                           "",
                           {field<&T::schema_version>("schema_version"), field<&T::surfaces>("surfaces")}};
  return cls;
}

}  // namespace vesk::py
