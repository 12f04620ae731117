// Store statistics: what the store holds in memory, counted per level, per
// tier and per namespace. Records kept out of memory at open are not
// counted. The counters read the record map the caller holds.
#pragma once

#include <cstdint>

#include "base/string_hash.h"
#include "model/record_map.h"

namespace vesk {

struct StoreStats {
  uint64_t total_records = 0;
  uint64_t working = 0;
  uint64_t decisions = 0;
  uint64_t domain = 0;
  uint64_t identity = 0;
  uint64_t total_connections = 0;  // connection entries over all records
  uint64_t total_tags = 0;         // distinct tags of the tag index
};

struct TierStats {
  uint64_t cognitive_working = 0;
  uint64_t cognitive_decisions = 0;
  uint64_t cognitive_total = 0;
  uint64_t core_domain = 0;
  uint64_t core_identity = 0;
  uint64_t core_total = 0;
  uint64_t total = 0;
};

// Every field but total_tags, which the tag index answers.
StoreStats count_store_stats(const RecordMap& records);
TierStats count_tier_stats(const RecordMap& records);
// Namespace -> its in-memory records; empty for an empty map.
StringKeyMap<uint64_t> count_namespace_stats(const RecordMap& records);

}  // namespace vesk
