#include "maintenance/cycle_reflection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace vesk {
namespace {

constexpr UtcInstant kNow{1'750'000'000, 0};  // 2025-06-15T15:06:40Z

Record task(const std::string& id, const std::string& due, float salience = 0.0f, float strength = 0.8f) {
  Record r;
  r.id = id;
  r.content = "task " + id;
  r.tags = {"scheduled-task"};
  r.metadata.emplace("status", "active");
  r.metadata.emplace("due_date", due);
  r.salience = salience;
  r.strength = strength;
  return r;
}

ReflectionSummary summarise(const RecordMap& records, const std::vector<ContradictionCluster>& clusters = {},
                            const MaintenanceTrendSummary& trend = {}) {
  MaintenanceReport report;
  report.timestamp = "t";
  report.hotspots.dominant_phase = "decay";
  report.trend_summary = trend;
  return build_reflection_summary(report, clusters, records, "scheduled-task", kNow);
}

TEST(CycleReflection, TaskFindingsByDueDate) {
  struct Case {
    const char* due;
    const char* detail;  // "" for no finding
    const char* severity;
  } cases[] = {
      {"2025-06-15T00:00:00+00:00", "Task is overdue by 0 day(s), salience 0.00, strength 0.80.", "low"},
      {"2025-06-15T23:30:00Z", "Task is overdue by 0 day(s), salience 0.00, strength 0.80.", "low"},
      {"2025-06-16T01:00:00+05:00", "Task is overdue by 0 day(s), salience 0.00, strength 0.80.", "low"},
      {"2025-06-14T12:00:00+00:00", "Task is overdue by 1 day(s), salience 0.00, strength 0.80.", "medium"},
      {"2025-06-12T12:00:00+00:00", "Task is overdue by 3 day(s), salience 0.00, strength 0.80.", "high"},
      {"2025-06-15", "", ""},
      {"2025-06-16T00:00:00+00:00", "", ""},
      {"soon", "", ""},
  };
  for (const Case& c : cases) {
    RecordMap records;
    records.emplace("a", task("a", c.due));
    ReflectionSummary s = summarise(records);
    if (std::string(c.detail).empty()) {
      EXPECT_TRUE(s.findings.empty()) << c.due;
      continue;
    }
    ASSERT_EQ(s.findings.size(), 1u) << c.due;
    EXPECT_EQ(s.findings[0].kind, "repeated_blocker");
    EXPECT_EQ(s.findings[0].detail, c.detail) << c.due;
    EXPECT_EQ(s.findings[0].severity, c.severity) << c.due;
    EXPECT_EQ(s.findings[0].title, "Overdue task remains active: task a");
  }
}

TEST(CycleReflection, EmptyStoreGivesTheQuietDigest) {
  ReflectionSummary s = summarise(RecordMap());
  EXPECT_EQ(s.digest, "No significant reflection findings this cycle.");
  EXPECT_EQ(s.report, (ReflectionJobReport{3, 0, 0, 0, 0, false}));
  EXPECT_EQ(s.timestamp, "t");
  EXPECT_EQ(s.dominant_phase, "decay");
}

TEST(CycleReflection, TitlesPreviewFiftySixScalars) {
  RecordMap records;
  Record exact = task("x", "2025-06-10T00:00:00Z", 0.9f);
  exact.content = std::string(55, 'a') + "\xC3\xA9";  // 56 scalars
  Record longer = task("y", "2025-06-10T00:00:00Z", 0.1f);
  longer.content = std::string(55, 'b') + "\xC3\xA9" + "c";  // 57 scalars
  records.emplace("x", exact);
  records.emplace("y", longer);
  ReflectionSummary s = summarise(records);
  ASSERT_EQ(s.findings.size(), 2u);
  EXPECT_EQ(s.findings[0].title, "Overdue task remains active: " + exact.content);
  EXPECT_EQ(s.findings[1].title, "Overdue task remains active: " + std::string(55, 'b') + "\xC3\xA9...");
}

TEST(CycleReflection, KeepsTheTwoBestOfAKindAndSortsNanLast) {
  RecordMap records;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  records.emplace("nan", task("nan", "2025-06-14T00:00:00Z", nan));
  records.emplace("low", task("low", "2025-06-15T00:00:00Z", 0.1f));
  records.emplace("high", task("high", "2025-06-10T00:00:00Z", 0.1f));
  records.emplace("mid", task("mid", "2025-06-13T00:00:00Z", 0.1f));
  ReflectionSummary s = summarise(records);
  EXPECT_EQ(s.report.blocker_findings, 2u);
  EXPECT_EQ(s.report.total_findings, 2u);
  ASSERT_EQ(s.findings.size(), 2u);
  EXPECT_EQ(s.findings[0].related_ids, std::vector<std::string>{"high"});
  EXPECT_EQ(s.findings[1].related_ids, std::vector<std::string>{"mid"});
  EXPECT_EQ(s.digest, "2 reflection finding(s): Overdue task remains active: task high; "
                      "Overdue task remains active: task mid");

  // Alone, a NaN score still gives its finding, its figure written "NaN".
  RecordMap only_nan;
  only_nan.emplace("nan", task("nan", "2025-06-14T00:00:00Z", nan));
  ReflectionSummary n = summarise(only_nan);
  ASSERT_EQ(n.findings.size(), 1u);
  EXPECT_EQ(n.findings[0].detail, "Task is overdue by 1 day(s), salience NaN, strength 0.80.");
}

TEST(CycleReflection, ContradictionAndTrendFindingsInStableOrder) {
  ContradictionCluster quiet;  // no unresolved belief, no mass: no finding
  quiet.belief_ids = {"q"};
  ContradictionCluster open;
  open.namespace_ = "ns";
  open.belief_ids = {"b1", "b2"};
  open.unresolved_belief_count = 1;
  open.avg_volatility = 0.5;  // score 0.5, as the task's and the trend's below
  ContradictionCluster tagged = open;
  tagged.shared_tags = {"x", "y"};
  tagged.avg_volatility = 0.25;
  tagged.total_conflict_mass = 0.0;

  MaintenanceTrendSummary trend;
  trend.avg_belief_churn = 0.5f;
  trend.recent.resize(1);

  RecordMap records;
  records.emplace("a", task("a", "2025-06-15T00:00:00Z", 0.5f, 1.0f));  // 0 + 0.5 + 0

  ReflectionSummary s = summarise(records, {quiet, tagged, open}, trend);
  EXPECT_EQ(s.report, (ReflectionJobReport{3, 1, 2, 1, 4, false}));
  ASSERT_EQ(s.findings.size(), 4u);
  EXPECT_EQ(s.findings[0].kind, "repeated_blocker");
  EXPECT_EQ(s.findings[1].kind, "unresolved_contradiction");
  EXPECT_EQ(s.findings[1].detail, "Avg volatility 0.50, conflict mass 0.00, shared tags: none.");
  EXPECT_EQ(s.findings[1].severity, "high");
  EXPECT_EQ(s.findings[1].title, "Unresolved contradiction corridor with 2 beliefs");
  EXPECT_EQ(s.findings[2].kind, "trend_tension");
  EXPECT_EQ(s.findings[2].title, "Maintenance trend is insufficient_data with dominant phase decay");
  EXPECT_EQ(s.findings[2].detail, "Avg belief churn 0.50, policy suppression 0.00, cycle time 0ms.");
  EXPECT_EQ(s.findings[2].severity, "medium");
  EXPECT_EQ(s.findings[3].detail, "Avg volatility 0.25, conflict mass 0.00, shared tags: x, y.");
  EXPECT_EQ(s.findings[3].severity, "medium");
}

TEST(CycleReflection, TrendDirectionFromFirstAndLastPressure) {
  struct Case {
    uint64_t first_volatile, last_volatile;
    float last_suppression;
    const char* title;  // "" for no finding
  } cases[] = {
      {0, 2, 0.0f, "Maintenance trend is worsening with dominant phase decay"},
      {0, 0, 0.2f, "Maintenance trend is worsening with dominant phase decay"},  // 10 x 0.2
      {5, 0, 0.0f, ""},                                                          // improving, calm averages
      {1, 2, 0.0f, ""},                                                          // stable
  };
  for (const Case& c : cases) {
    MaintenanceTrendSummary trend;
    trend.recent.resize(3);
    trend.recent.front().volatile_records = c.first_volatile;
    trend.recent.back().volatile_records = c.last_volatile;
    trend.recent.back().policy_suppression_rate = c.last_suppression;
    ReflectionSummary s = summarise(RecordMap(), {}, trend);
    if (std::string(c.title).empty()) {
      EXPECT_TRUE(s.findings.empty()) << c.first_volatile << " " << c.last_volatile;
    } else {
      ASSERT_EQ(s.findings.size(), 1u);
      EXPECT_EQ(s.findings[0].title, c.title);
      EXPECT_EQ(s.findings[0].severity, "high");
      EXPECT_EQ(s.findings[0].score, 0.5f);
    }
  }
}

}  // namespace
}  // namespace vesk
