// What opening the store found: the startup validation report with its events,
// and the persistence manifest. None of these classes has a docstring.
#include "value_classes.h"

namespace vesk::py {

ClassObject& NativeClass<StartupValidationEvent>::object() {
  using T = StartupValidationEvent;
  static ValueClass<T> cls{"vesk._core.StartupValidationEvent",
                           nullptr,
                           {field<&T::surface>("surface"), field<&T::path>("path"), field<&T::status>("status"),
                            field<&T::detail>("detail"), field<&T::recovered>("recovered")}};
  return cls;
}

ClassObject& NativeClass<StartupValidationReport>::object() {
  using T = StartupValidationReport;
  static ValueClass<T> cls{"vesk._core.StartupValidationReport",
                           nullptr,
                           {field<&T::loaded_surfaces>("loaded_surfaces"),
                            field<&T::missing_fallbacks>("missing_fallbacks"),
                            field<&T::recovered_fallbacks>("recovered_fallbacks"),
                            field<&T::derived_skips>("derived_skips"),
                            field<&T::has_recovery_warnings>("has_recovery_warnings"), field<&T::events>("events")}};
  return cls;
}

// `surfaces` reads as a dict in ascending byte order of the names: the
// manifest keeps them in an ordered map.
ClassObject& NativeClass<PersistenceManifest>::object() {
  using T = PersistenceManifest;
  static ValueClass<T> cls{"vesk._core.PersistenceManifest",
                           nullptr,
                           {field<&T::schema_version>("schema_version"), field<&T::surfaces>("surfaces")}};
  return cls;
}

}  // namespace vesk::py
