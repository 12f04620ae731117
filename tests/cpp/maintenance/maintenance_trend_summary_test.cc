#include "maintenance/maintenance_trend_summary.h"

#include <gtest/gtest.h>

#include <span>
#include <vector>

namespace vesk {
namespace {

MaintenanceTrendSnapshot snapshot(float churn, double cycle_ms, uint64_t corrections, const char* phase) {
  MaintenanceTrendSnapshot s;
  s.belief_churn = churn;
  s.causal_rejection_rate = churn / 2;
  s.policy_suppression_rate = 0.5f;
  s.cycle_time_ms = cycle_ms;
  s.correction_events = corrections;
  s.dominant_phase = phase;
  return s;
}

TEST(MaintenanceTrendSummary, NoSnapshotsGiveZeros) {
  MaintenanceTrendSummary s = maintenance_trend_summary({});
  EXPECT_EQ(s.snapshot_count, 0u);
  EXPECT_EQ(s.avg_correction_events, 0.0f);
  EXPECT_EQ(s.avg_cycle_time_ms, 0.0);
  EXPECT_EQ(s.latest_dominant_phase, "");
  EXPECT_TRUE(s.recent.empty());
}

TEST(MaintenanceTrendSummary, AveragesTotalsAndTheNewestPhase) {
  const std::vector<MaintenanceTrendSnapshot> history = {snapshot(0.25f, 10.0, 1, "decay"),
                                                         snapshot(0.5f, 20.0, 2, "belief"),
                                                         snapshot(0.75f, 33.0, 4, "concept")};
  MaintenanceTrendSummary s = maintenance_trend_summary(history);
  EXPECT_EQ(s.snapshot_count, 3u);
  EXPECT_EQ(s.avg_belief_churn, 0.5f);
  EXPECT_EQ(s.avg_causal_rejection_rate, 0.25f);
  EXPECT_EQ(s.avg_policy_suppression_rate, 0.5f);
  EXPECT_EQ(s.avg_cycle_time_ms, 21.0);
  EXPECT_EQ(s.avg_correction_events, 2.3333333f);
  EXPECT_EQ(s.total_corrections_in_window, 7u);
  EXPECT_EQ(s.latest_dominant_phase, "concept");
  EXPECT_EQ(s.recent, history);

  MaintenanceTrendSummary one = maintenance_trend_summary(std::span(history).first(1));
  EXPECT_EQ(one.avg_belief_churn, 0.25f);
  EXPECT_EQ(one.avg_cycle_time_ms, 10.0);
  EXPECT_EQ(one.avg_correction_events, 1.0f);
  EXPECT_EQ(one.latest_dominant_phase, "decay");
}

// The rates add up as 32-bit floats in list order: 1e8 + 1 is 1e8 in 32
// bits, so the sum below is 0 (it would be 1 in 64 bits or in another order).
// The cycle times add up in 64 bits, where the same values keep the 1.
TEST(MaintenanceTrendSummary, SumsKeepTheirWidthAndOrder) {
  const std::vector<MaintenanceTrendSnapshot> history = {snapshot(1e8f, 1e8, 0, "a"), snapshot(1.0f, 1.0, 0, "b"),
                                                         snapshot(-1e8f, -1e8, 0, "c")};
  MaintenanceTrendSummary s = maintenance_trend_summary(history);
  EXPECT_EQ(s.avg_belief_churn, 0.0f);
  EXPECT_EQ(s.avg_cycle_time_ms, 1.0 / 3.0);
}

}  // namespace
}  // namespace vesk
