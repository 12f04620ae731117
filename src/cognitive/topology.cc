#include "cognitive/topology.h"

#include <algorithm>

namespace vesk {

uint64_t record_key(std::string_view record_id) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (unsigned char c : record_id) {
    h ^= c;
    h *= 0x100000001b3ull;
  }
  return h;
}

void bump_corecall_weight(Topology& graph, uint64_t a, uint64_t b) {
  std::vector<Edge>& out = graph.edges[a];
  for (Edge& e : out) {
    if (e.target == b) {
      e.weight = std::min(e.weight + 0.02f, 1.0f);
      return;
    }
  }
  out.push_back(Edge{b, 0.02f});
}

}  // namespace vesk
