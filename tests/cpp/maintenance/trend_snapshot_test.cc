#include "maintenance/trend_snapshot.h"

#include <gtest/gtest.h>

namespace vesk {
namespace {

TEST(TrendSnapshot, RatesAndCorrectionEvents) {
  MaintenanceReport report;
  report.timestamp = "2026-01-02T03:04:05+00:00";
  report.total_records = 9;
  report.belief.churn_rate = 0.5;
  report.stability.belief_churn = 7.0;  // not the snapshot's churn
  report.causal.rejected_count = 1;
  report.causal.stable_count = 3;
  report.timings.total_ms = 12.5;
  report.hotspots.dominant_phase = "decay";

  MaintenanceTrendSnapshot first = trend_snapshot_of(report, 4, nullptr);
  EXPECT_EQ(first.belief_churn, 0.5f);
  EXPECT_EQ(first.causal_rejection_rate, 0.25f);
  EXPECT_EQ(first.policy_suppression_rate, 0.0f);  // no hints at all
  EXPECT_EQ(first.correction_events, 0u);          // nothing to compare with
  EXPECT_EQ(first.cumulative_corrections, 4u);
  EXPECT_EQ(first.cycle_time_ms, 12.5);
  EXPECT_EQ(first.dominant_phase, "decay");
  EXPECT_EQ(first.timestamp, report.timestamp);

  report.policy.suppressed_hints = 1;
  report.policy.rejected_hints = 1;
  report.policy.stable_hints = 2;
  struct Case {
    uint64_t last, now, events;
  } cases[] = {{4, 2, 0}, {4, 4, 0}, {4, 9, 5}};
  for (const Case& c : cases) {
    MaintenanceTrendSnapshot last;
    last.cumulative_corrections = c.last;
    MaintenanceTrendSnapshot s = trend_snapshot_of(report, c.now, &last);
    EXPECT_EQ(s.correction_events, c.events) << c.last << " then " << c.now;
    EXPECT_EQ(s.policy_suppression_rate, 0.25f);
  }
}

}  // namespace
}  // namespace vesk
