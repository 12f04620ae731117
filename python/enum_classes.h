// The enumeration classes of the module: Level, OutcomeKind,
// ConsequencePolarity, RouteStateClass and CausalEdgeKind. Including this
// header lets a body take or return these C++ enums directly.
#pragma once

#include "audit/consequence_polarity.h"
#include "audit/outcome_kind.h"
#include "binding/native.h"
#include "cognitive/causal_edge.h"
#include "maintenance/route_state_class.h"
#include "model/level.h"

namespace vesk::py {

template <> struct NativeClass<Level> { static ClassObject& object(); };
template <> struct NativeClass<OutcomeKind> { static ClassObject& object(); };
template <> struct NativeClass<ConsequencePolarity> { static ClassObject& object(); };
template <> struct NativeClass<RouteStateClass> { static ClassObject& object(); };
template <> struct NativeClass<CausalEdgeKind> { static ClassObject& object(); };

}  // namespace vesk::py
