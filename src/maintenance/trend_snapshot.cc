#include "maintenance/trend_snapshot.h"

#include "cognitive/surface_savers.h"

namespace vesk {
namespace {

constexpr size_t kKeptSnapshots = 32;

float ratio(uint64_t part, uint64_t whole) {
  return whole == 0 ? 0.0f : static_cast<float>(part) / static_cast<float>(whole);
}

}  // namespace

MaintenanceTrendSnapshot trend_snapshot_of(const MaintenanceReport& report, uint64_t cumulative_corrections,
                                           const MaintenanceTrendSnapshot* last) {
  MaintenanceTrendSnapshot s;
  s.timestamp = report.timestamp;
  s.total_records = report.total_records;
  s.records_archived = report.records_archived;
  s.insights_found = report.insights_found;
  s.volatile_records = report.epistemic.volatile_records;
  s.belief_churn = static_cast<float>(report.belief.churn_rate);
  s.causal_rejection_rate =
      ratio(report.causal.rejected_count, report.causal.stable_count + report.causal.rejected_count);
  s.policy_suppression_rate =
      ratio(report.policy.suppressed_hints,
            report.policy.stable_hints + report.policy.suppressed_hints + report.policy.rejected_hints);
  s.feedback_beliefs_touched = report.feedback.beliefs_touched;
  s.feedback_net_confidence_delta = static_cast<float>(report.feedback.net_confidence_delta);
  s.feedback_net_volatility_delta = static_cast<float>(report.feedback.net_volatility_delta);
  s.correction_events = last != nullptr && cumulative_corrections > last->cumulative_corrections
                            ? cumulative_corrections - last->cumulative_corrections
                            : 0;
  s.cumulative_corrections = cumulative_corrections;
  s.cycle_time_ms = report.timings.total_ms;
  s.dominant_phase = report.hotspots.dominant_phase;
  return s;
}

MaintenanceTrendSummary append_trend_snapshot(const MaintenanceReport& report, uint64_t cumulative_corrections,
                                              Guarded<std::vector<MaintenanceTrendSnapshot>>& history,
                                              const PersistenceTarget& target, Env& env) {
  // Held through the save, so that no reader sees a history whose file was
  // not attempted.
  auto kept = history.write();
  MaintenanceTrendSnapshot snapshot =
      trend_snapshot_of(report, cumulative_corrections, kept->empty() ? nullptr : &kept->back());
  kept->push_back(std::move(snapshot));
  if (kept->size() > kKeptSnapshots) kept->erase(kept->begin(), kept->end() - kKeptSnapshots);
  (void)save_maintenance_trends(target.dir, target.key_ptr(), *kept, env);
  return maintenance_trend_summary(*kept);
}

}  // namespace vesk
