// The co-recall graph: which records were recalled together, and how often.
//
// Recall bumps an edge between two records each time both come back in one
// answer (recall/activation.h); the graph is saved as "topology.cog" and read
// by the causal layer. It is held behind its own lock in the store object
// (PlasticityState).
#pragma once

#include <cstdint>
#include <shared_mutex>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vesk {

// The co-recall graph: from a record key to its outgoing edges in insertion
// order. A record key is the FNV-1a 64-bit hash of the record id's bytes.
struct Edge {
  uint64_t target = 0;
  float weight = 0.0f;  // in (0, 1]
  bool operator==(const Edge&) const = default;
};
struct Topology {
  std::unordered_map<uint64_t, std::vector<Edge>> edges;
};

// FNV-1a 64 (offset basis 0xcbf29ce484222325, prime 0x100000001b3).
uint64_t record_key(std::string_view record_id);

// Adds 0.02 to the edge a -> b (at most 1), creating it at 0.02. The caller
// holds the plasticity state's write lock.
void bump_corecall_weight(Topology& graph, uint64_t a, uint64_t b);

// The graph and its lock, as the store object holds them.
struct PlasticityState {
  std::shared_mutex mu;
  Topology topology;
};

}  // namespace vesk
