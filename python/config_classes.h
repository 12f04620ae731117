// The configuration classes of the module: mutable settings a caller builds,
// changes attribute by attribute and hands to the store, which copies them.
// Including this header lets a body take or return these C++ types directly.
#pragma once

#include "binding/native.h"
#include "entities/persona.h"
#include "model/config_maintenance.h"
#include "model/config_taxonomy.h"
#include "model/config_trust.h"
#include "reports/circuit_breaker.h"

namespace vesk::py {

template <> struct NativeClass<TagTaxonomy> { static ClassObject& object(); };
template <> struct NativeClass<TrustConfig> { static ClassObject& object(); };
template <> struct NativeClass<MaintenanceConfig> { static ClassObject& object(); };
template <> struct NativeClass<ArchivalRule> { static ClassObject& object(); };
// Never registered in the module: built when the first one is handed out.
template <> struct NativeClass<CompletedArchivalRule> { static ClassObject& object(); };
template <> struct NativeClass<CircuitBreakerConfig> { static ClassObject& object(); };
template <> struct NativeClass<PersonaTraits> { static ClassObject& object(); };
template <> struct NativeClass<AgentPersona> { static ClassObject& object(); };

}  // namespace vesk::py
