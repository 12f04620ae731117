// The trend summary: averages over the most recent maintenance trend
// snapshots, with those snapshots themselves (oldest first).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cognitive/maintenance_trend_snapshot.h"

namespace vesk {

struct MaintenanceTrendSummary {
  uint64_t snapshot_count = 0;
  std::vector<MaintenanceTrendSnapshot> recent;
  double avg_belief_churn = 0.0;
  double avg_causal_rejection_rate = 0.0;
  double avg_policy_suppression_rate = 0.0;
  double avg_cycle_time_ms = 0.0;
  double avg_correction_events = 0.0;
  uint64_t total_corrections_in_window = 0;
  std::string latest_dominant_phase;

  bool operator==(const MaintenanceTrendSummary&) const = default;
};

}  // namespace vesk
