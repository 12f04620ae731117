#include "cognitive/topology.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

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

void decay_corecall_weights(Topology& graph) {
  for (auto node = graph.edges.begin(); node != graph.edges.end();) {
    std::vector<Edge>& out = node->second;
    size_t kept = 0;
    for (Edge& e : out) {
      e.weight *= kCorecallDecay;
      // A NaN compares false and goes too.
      if (e.weight >= kMinCorecallWeight) out[kept++] = e;
    }
    out.resize(kept);
    node = out.empty() ? graph.edges.erase(node) : std::next(node);
  }
}

bool remove_record_nodes(Topology& graph, const StringSet& record_ids) {
  std::unordered_set<uint64_t> gone;
  for (const std::string& id : record_ids) gone.insert(record_key(id));
  bool changed = false;
  for (auto node = graph.edges.begin(); node != graph.edges.end();) {
    std::vector<Edge>& out = node->second;
    if (!gone.contains(node->first) && std::erase_if(out, [&](const Edge& e) { return gone.contains(e.target); }) > 0)
      changed = true;
    if (gone.contains(node->first) || out.empty()) {
      node = graph.edges.erase(node);
      changed = true;
    } else {
      ++node;
    }
  }
  return changed;
}

}  // namespace vesk
