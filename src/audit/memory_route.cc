#include "audit/memory_route.h"

#include <string>

#include "model/unicode_text.h"

namespace vesk {

std::optional<MemoryRoute> parse_memory_route(std::string_view name) {
  std::string n(trim_unicode_white_space(name));
  for (char& c : n) c = ascii_lower(c);
  if (n == "timeline" || n == "temporal" || n == "event" || n == "events") return MemoryRoute::Timeline;
  if (n == "graph" || n == "entity_graph" || n == "entity-graph") return MemoryRoute::Graph;
  if (n == "documentary" || n == "document" || n == "semantic" || n == "profile") return MemoryRoute::Documentary;
  return std::nullopt;
}

}  // namespace vesk
