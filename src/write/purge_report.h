// What a delete took out of the cognitive layers, and what a purge removed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "write/purge_scope.h"

namespace vesk {

// The layer cascade's counts: distinct beliefs (with all their hypotheses),
// concepts, causal patterns and policy hints removed, and whether the
// co-recall topology lost the record's node or an edge to it.
struct LayerRemovalCounts {
  uint64_t beliefs_removed = 0;
  uint64_t concepts_removed = 0;
  uint64_t causal_patterns_removed = 0;
  uint64_t policy_hints_removed = 0;
  bool topology_removed = false;

  bool operator==(const LayerRemovalCounts&) const = default;
};

struct PurgeReport {
  // Lower-case hexadecimal SHA-256 of the record id: the only name the
  // audit journal keeps of a purged record.
  std::string record_digest;
  // "active", "derived", then "current_storage" and "history" as the scope
  // reaches them.
  std::vector<std::string> removed_surfaces;
  LayerRemovalCounts layers;
  uint64_t snapshots_rewritten = 0;
  uint64_t audit_entries_removed = 0;
  // The record was held in memory and the logical delete removed it.
  bool active_record_removed = false;
  PurgeScope scope = PurgeScope::Active;
};

}  // namespace vesk
