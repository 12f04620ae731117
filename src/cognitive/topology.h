// The co-recall graph: which records were recalled together, and how often.
//
// Recall bumps an edge between two records each time both come back among
// the first results of one answer (recall/activation.h); each maintenance
// cycle decays every edge and drops the faint ones (topology_decay.h); a
// purge of records drops their nodes and the edges into them. The graph is
// saved as "topology.cog" (topology_format.h) and read by the causal layer.
// It is held behind its own lock in the store object (PlasticityState).
#pragma once

#include <cstdint>
#include <shared_mutex>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/string_hash.h"

namespace vesk {

// The co-recall graph: from a record key to its outgoing edges in insertion
// order. A record key is the FNV-1a 64-bit hash of the record id's bytes.
struct Edge {
  uint64_t target = 0;
  float weight = 0.0f;  // in [0.01, 1] once decayed
  bool operator==(const Edge&) const = default;
};
struct Topology {
  std::unordered_map<uint64_t, std::vector<Edge>> edges;
  bool operator==(const Topology&) const = default;
};

// FNV-1a 64 (offset basis 0xcbf29ce484222325, prime 0x100000001b3).
uint64_t record_key(std::string_view record_id);

// Adds 0.02 to the edge a -> b (at most 1), creating it at 0.02. The caller
// holds the plasticity state's write lock.
void bump_corecall_weight(Topology& graph, uint64_t a, uint64_t b);

// Edges below this weight (after a decay) are dropped.
inline constexpr float kMinCorecallWeight = 0.01f;
// What one maintenance cycle keeps of a weight.
inline constexpr float kCorecallDecay = 0.95f;

// One cycle of decay in one pass over the edges: every weight times 0.95 in
// 32-bit arithmetic, then the edges below 0.01 (or NaN) dropped, keeping the
// order of the rest, then every node left without edges dropped (one that
// had none before too). An edge bumped once (0.02) lives through 13 cycles
// and is gone in the 14th.
void decay_corecall_weights(Topology& graph);

// Drops the nodes of the given records (by record key), every edge into
// them, keeping the order of the rest, and every node left without edges;
// true when the graph changed. A purge of records applies it to the copy it
// saves, and again to the graph in memory when it installs its result, so
// that edges recalls added meanwhile survive.
bool remove_record_nodes(Topology& graph, const StringSet& record_ids);

// The graph and its lock, as the store object holds them.
struct PlasticityState {
  std::shared_mutex mu;
  Topology topology;
};

}  // namespace vesk
