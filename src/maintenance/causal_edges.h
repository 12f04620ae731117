// The first half of the causal phase: the corpus fingerprint that decides
// whether the layer is rebuilt at all, and the record-level edges a rebuild
// aggregates into patterns.
//
// Fingerprint: XXH3-64 (seed 0) of one line per record, records in byte
// order of their ids:
//   "{id}|{namespace}|{created_at as the decimal u64 of its IEEE-754 bits}|
//    {caused_by_id or nothing}|{each "causal" connection target, byte order,
//    followed by ","}\n"
// Only these fields take part: a change of content, tags, strength, level,
// of the beliefs or of the engine's modes leaves it as it was, and the phase
// then skips the rebuild until the corpus itself changes.
//
// Edges. One ordered record pair gives at most one edge, explicit ones
// first:
//   explicit  for each record X in map order: its caused_by_id C (C → X), then
//             each connection typed exactly "causal" to T, the older of X and
//             T as the cause (X on a tie). Both records must exist and share
//             X's namespace; their relative age does not matter for
//             caused_by_id, and a record may name itself.
//   temporal  per namespace, its records stably ordered by created_at; from
//             each record every later one up to 604800 s later (inclusive),
//             equal times passed over. At most 5000 temporal edges per
//             namespace; NearbySuccessors examines at most 16 successors of
//             a record.
#pragma once

#include <cstdint>
#include <vector>

#include "cognitive/causal_layer.h"
#include "maintenance/cycle_snapshot.h"

namespace vesk {

inline constexpr double kCausalTemporalWindowSeconds = 604800.0;
inline constexpr uint64_t kCausalTemporalEdgeCap = 5000;
inline constexpr size_t kCausalNearbySuccessors = 16;

// One record-level edge; the records live in the snapshot the edges were
// found in and share one namespace. `event_time` is the effect's created_at.
struct RecordCausalEdge {
  const Record* cause = nullptr;
  const Record* effect = nullptr;
  double event_time = 0.0;
  bool explicit_edge = false;
};

struct CausalEdgeScan {
  std::vector<RecordCausalEdge> edges;  // explicit edges, then temporal ones
  uint64_t explicit_edges_found = 0;
  uint64_t temporal_edges_found = 0;
  uint64_t temporal_namespaces_scanned = 0;
  uint64_t temporal_pairs_considered = 0;
  uint64_t temporal_pairs_skipped_by_budget = 0;
  uint64_t temporal_edges_capped = 0;
  uint64_t temporal_namespaces_hit_cap = 0;
};

uint64_t causal_corpus_fingerprint(const CycleSnapshot& records);

CausalEdgeScan find_causal_edges(const CycleSnapshot& records, CausalTemporalBudgetMode budget);

}  // namespace vesk
