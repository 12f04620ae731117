// Maintenance trend snapshots: a few figures of one maintenance cycle, kept
// in order (oldest first) in memory and in "maintenance_trends.json"
// (maintenance_trends_format.h), from which the trend summary and the health
// digest read how the store moves. The rates and deltas are 32-bit; the
// cycle time is 64-bit milliseconds.
#pragma once

#include <cstdint>
#include <string>

namespace vesk {

struct MaintenanceTrendSnapshot {
  std::string timestamp;
  uint64_t total_records = 0;
  uint64_t records_archived = 0;
  uint64_t insights_found = 0;
  uint64_t volatile_records = 0;
  float belief_churn = 0.0f;
  float causal_rejection_rate = 0.0f;
  float policy_suppression_rate = 0.0f;
  uint64_t feedback_beliefs_touched = 0;
  float feedback_net_confidence_delta = 0.0f;
  float feedback_net_volatility_delta = 0.0f;
  uint64_t correction_events = 0;
  uint64_t cumulative_corrections = 0;
  double cycle_time_ms = 0.0;
  std::string dominant_phase;

  bool operator==(const MaintenanceTrendSnapshot&) const = default;
};

}  // namespace vesk
