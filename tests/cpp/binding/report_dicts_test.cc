// The dicts of reflection digests, correction log entries and the
// maintenance trend summary.
#include "report_dicts.h"

#include <gtest/gtest.h>

#include <vector>

#include "binding/embedded_python.h"

namespace vesk::py {
namespace {

class ReportDictsTest : public EmbeddedPython {};

TEST_F(ReportDictsTest, ReflectionDigestNestsKindsAndFindings) {
  ReflectionDigest d;
  d.summary_count = 2;
  d.total_findings = 3;
  d.high_severity_findings = 1;
  d.latest_timestamp = "2026-01-01T00:00:00+00:00";
  d.latest_dominant_phase = "belief";
  d.kinds = {{"blocker", 2, 1, 0.9f}};
  d.namespaces = {"default"};
  d.top_findings = {{"blocker", "default", "Stuck", "no progress", {"r1"}, 0.9f, "high"}};
  bind("d", reflection_digest_dict(d));
  EXPECT_EQ(eval("list(d)"),
            "['summary_count', 'total_findings', 'high_severity_findings', 'latest_timestamp', "
            "'latest_dominant_phase', 'kinds', 'namespaces', 'top_findings']");
  EXPECT_EQ(eval("d['kinds']"),
            "[{'kind': 'blocker', 'count': 2, 'high_severity_count': 1, 'avg_score': 0.8999999761581421}]");
  EXPECT_EQ(eval("d['top_findings']"),
            "[{'kind': 'blocker', 'namespace': 'default', 'title': 'Stuck', 'detail': 'no progress', "
            "'related_ids': ['r1'], 'score': 0.8999999761581421, 'severity': 'high'}]");
  bind("empty", reflection_digest_dict(ReflectionDigest{}));
  EXPECT_EQ(eval("(empty['kinds'], empty['namespaces'], empty['top_findings'], empty['latest_timestamp'])"),
            "([], [], [], '')");
}

TEST_F(ReportDictsTest, CorrectionLogListInStoredOrder) {
  std::vector<CorrectionLogEntry> log = {
      {1700000000000, "2023-11-14T22:13:20+00:00", "belief", "b1", "deprecate", "stale", "s1"},
      {UINT64_MAX, "", "policy_hint", "p1", "retract", "", "s2"},
  };
  bind("l", correction_log_list(log));
  EXPECT_EQ(eval("[list(e) for e in l][0]"),
            "['timestamp', 'time_iso', 'target_kind', 'target_id', 'operation', 'reason', 'session_id']");
  EXPECT_EQ(eval("[(e['timestamp'], e['target_id']) for e in l]"), "[(1700000000000, 'b1'), (18446744073709551615, 'p1')]");
}

TEST_F(ReportDictsTest, TrendSummaryWithSnapshots) {
  MaintenanceTrendSnapshot s;
  s.timestamp = "t1";
  s.total_records = 10;
  s.belief_churn = 0.1f;
  s.cycle_time_ms = 12.25;
  s.dominant_phase = "decay";
  MaintenanceTrendSummary m;
  m.snapshot_count = 1;
  m.recent = {s};
  m.avg_belief_churn = 0.1f;
  m.avg_cycle_time_ms = 12.25;
  m.avg_correction_events = 2.3333333f;
  m.total_corrections_in_window = 7;
  m.latest_dominant_phase = "decay";
  bind("m", maintenance_trend_summary_dict(m));
  EXPECT_EQ(eval("list(m)"),
            "['snapshot_count', 'avg_belief_churn', 'avg_causal_rejection_rate', 'avg_policy_suppression_rate', "
            "'avg_cycle_time_ms', 'avg_correction_events', 'total_corrections_in_window', 'latest_dominant_phase', "
            "'recent']");
  EXPECT_EQ(eval("(m['avg_belief_churn'], m['avg_cycle_time_ms'], m['avg_correction_events'])"),
            "(0.10000000149011612, 12.25, 2.3333332538604736)");
  EXPECT_EQ(eval("list(m['recent'][0])"),
            "['timestamp', 'total_records', 'records_archived', 'insights_found', 'volatile_records', "
            "'belief_churn', 'causal_rejection_rate', 'policy_suppression_rate', 'feedback_beliefs_touched', "
            "'feedback_net_confidence_delta', 'feedback_net_volatility_delta', 'correction_events', "
            "'cumulative_corrections', 'cycle_time_ms', 'dominant_phase']");
  EXPECT_EQ(eval("(m['recent'][0]['total_records'], m['recent'][0]['cycle_time_ms'])"), "(10, 12.25)");
}

}  // namespace
}  // namespace vesk::py
