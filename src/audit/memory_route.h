// MemoryRoute: the ways an answer may reach memory, one byte, ordered by
// value. The canonical name is how a route is written back everywhere.
#pragma once

#include <cstdint>
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

}  // namespace vesk
