#include "maintenance/maintenance_trend_summary.h"

namespace vesk {

MaintenanceTrendSummary maintenance_trend_summary(std::span<const MaintenanceTrendSnapshot> history) {
  MaintenanceTrendSummary s;
  if (history.empty()) return s;

  // The sums keep the width of their fields, so an average is the same number
  // wherever it is computed.
  float churn = 0.0f, rejection = 0.0f, suppression = 0.0f;
  double cycle_ms = 0.0;
  uint64_t corrections = 0;
  for (const MaintenanceTrendSnapshot& t : history) {
    churn += t.belief_churn;
    rejection += t.causal_rejection_rate;
    suppression += t.policy_suppression_rate;
    cycle_ms += t.cycle_time_ms;
    corrections += t.correction_events;
  }
  const uint64_t n = history.size();
  const float n32 = static_cast<float>(n);
  s.snapshot_count = n;
  s.avg_belief_churn = churn / n32;
  s.avg_causal_rejection_rate = rejection / n32;
  s.avg_policy_suppression_rate = suppression / n32;
  s.avg_cycle_time_ms = cycle_ms / static_cast<double>(n);
  s.avg_correction_events = static_cast<float>(corrections) / n32;
  s.total_corrections_in_window = corrections;
  s.latest_dominant_phase = history.back().dominant_phase;
  s.recent.assign(history.begin(), history.end());
  return s;
}

}  // namespace vesk
