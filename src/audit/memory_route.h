// MemoryRoute: the ways an answer may reach memory, one byte, ordered by
// value. The canonical name is how a route is written back everywhere.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vesk {

enum class MemoryRoute : uint8_t { Timeline = 0, Graph = 1, Documentary = 2 };

// "timeline", "graph" or "documentary".
constexpr std::string_view memory_route_name(MemoryRoute route) {
  switch (route) {
    case MemoryRoute::Timeline:
      return "timeline";
    case MemoryRoute::Graph:
      return "graph";
    case MemoryRoute::Documentary:
      return "documentary";
  }
  return "timeline";
}

// The route a name denotes, White_Space at the ends dropped and ASCII letters
// lower-cased: timeline, temporal, event, events; graph, entity_graph,
// entity-graph; documentary, document, semantic, profile. Else none.
std::optional<MemoryRoute> parse_memory_route(std::string_view name);

}  // namespace vesk
