#include "reports/store_statistics.h"

#include <array>

namespace vesk {
namespace {

// Records per level 1..4 (index 0 unused).
std::array<uint64_t, 5> count_levels(const RecordMap& records) {
  std::array<uint64_t, 5> n{};
  for (const auto& [id, record] : records) {
    const uint8_t level = level_value(record.level);
    if (level >= 1 && level <= 4) ++n[level];
  }
  return n;
}

}  // namespace

StoreStats count_store_stats(const RecordMap& records) {
  StoreStats s;
  s.total_records = records.size();
  const auto levels = count_levels(records);
  s.working = levels[1];
  s.decisions = levels[2];
  s.domain = levels[3];
  s.identity = levels[4];
  for (const auto& [id, record] : records) s.total_connections += record.connections.size();
  return s;
}

TierStats count_tier_stats(const RecordMap& records) {
  const auto levels = count_levels(records);
  TierStats t;
  t.cognitive_working = levels[1];
  t.cognitive_decisions = levels[2];
  t.cognitive_total = levels[1] + levels[2];
  t.core_domain = levels[3];
  t.core_identity = levels[4];
  t.core_total = levels[3] + levels[4];
  t.total = t.cognitive_total + t.core_total;
  return t;
}

StringKeyMap<uint64_t> count_namespace_stats(const RecordMap& records) {
  StringKeyMap<uint64_t> out;
  for (const auto& [id, record] : records) ++out[record.namespace_];
  return out;
}

}  // namespace vesk
