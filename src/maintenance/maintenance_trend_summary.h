// The trend summary: averages over the maintenance trend history, with the
// snapshots themselves (oldest first).
//
// The history it is given is the store's whole trend history: the newest 32
// cycles after any maintenance cycle, or all of a longer file loaded at open
// until the next cycle trims it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "cognitive/maintenance_trend_snapshot.h"

namespace vesk {

struct MaintenanceTrendSummary {
  uint64_t snapshot_count = 0;
  std::vector<MaintenanceTrendSnapshot> recent;
  float avg_belief_churn = 0.0f;
  float avg_causal_rejection_rate = 0.0f;
  float avg_policy_suppression_rate = 0.0f;
  double avg_cycle_time_ms = 0.0;
  float avg_correction_events = 0.0f;
  uint64_t total_corrections_in_window = 0;
  std::string latest_dominant_phase;

  bool operator==(const MaintenanceTrendSummary&) const = default;
};

// Pure; never fails. For n snapshots, oldest first:
//   - the three rates are summed as 32-bit floats in list order and each sum
//     divided by n as a 32-bit float; the cycle times are summed and divided
//     as 64-bit floats; the correction events are summed exactly, and
//     avg_correction_events is that sum as a 32-bit float divided by n as a
//     32-bit float (1, 2 and 4 give 2.3333333f);
//   - latest_dominant_phase is the newest snapshot's; `recent` copies all n.
// Nothing is weighted by age. No snapshots give zeros, "" and an empty
// `recent`.
MaintenanceTrendSummary maintenance_trend_summary(std::span<const MaintenanceTrendSnapshot> history);

}  // namespace vesk
