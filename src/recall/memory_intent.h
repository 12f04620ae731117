// Whether a user's turn needs memory, and which kinds of memory route fit
// it: a fixed keyword heuristic over the query text alone.
//
//   1. The text trimmed of White_Space; nothing left: no memory, "empty_query".
//   2. ASCII letters lower-cased; the padded text is " " + text + " ".
//   3. No memory-reference cue (" my ", " earlier ", ...) in the padded text
//      and the text begins with "calculate ", "translate " or "rewrite ":
//      no memory, "self_contained_turn".
//   4. A route for each cue group found anywhere in the text (inside longer
//      words too), in the order timeline, graph, documentary:
//      "query_signal_routes"; none found: all three,
//      "conservative_all_routes".
#pragma once

#include <string_view>
#include <vector>

namespace vesk {

struct MemoryIntent {
  bool needs_memory = false;
  std::vector<std::string_view> suggested_routes;  // static texts
  std::string_view reason;
};

MemoryIntent suggest_memory_intent(std::string_view query);

}  // namespace vesk
