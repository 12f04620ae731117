// What Python code sees of the module's value classes, on values built by
// hand: fresh objects on every read, read-only attributes, exact widths and
// optional members, the classes the module never registers, and the live
// RetrievalEpisode with its borrow rule.
#include <gmock/gmock.h>

#include "binding/embedded_python.h"
#include "enum_classes.h"
#include "retrieval_episode_class.h"
#include "value_classes.h"

namespace vesk::py {
namespace {

using ::testing::StartsWith;

struct Case {
  const char* expression;
  const char* expected;  // the repr of its value
};

class ValueClassesTest : public EmbeddedPython {
 protected:
  void expect_all(std::initializer_list<Case> cases) {
    for (const Case& c : cases) EXPECT_EQ(eval(c.expression), c.expected) << c.expression;
  }
};

MaintenanceReport sample_report() {
  MaintenanceReport r;
  r.timestamp = "2025-01-02T03:04:05+00:00";
  r.decay = {3, 1};
  r.causal.skipped = true;
  r.concept_.cluster_sizes = {2, 5};
  r.feedback.beliefs_touched = 1;
  r.feedback.entries.push_back({.belief_id = "b1", .source_kind = "causal", .delta_applied = 0.25});
  r.task_reminders = {"water the plants"};
  r.total_records = 7;
  r.timings.total_ms = 12.5;
  r.concept_surface.mode = "Inspect";
  ReflectionFinding finding{.kind = "blocker", .related_ids = {"r1"}, .score = 0.9f, .severity = "high"};
  r.reflection = {.timestamp = "t", .report = {.total_findings = 1}, .findings = {finding}};
  r.trend_summary.snapshot_count = 1;
  r.trend_summary.recent.push_back({.timestamp = "t", .total_records = 7, .cycle_time_ms = 12.5});
  r.hotspots.dominant_phase = "belief";
  return r;
}

TEST_F(ValueClassesTest, NestedValuesAndListsAreNewOnEveryRead) {
  bind("r", sample_report());
  expect_all({
      {"r.decay is r.decay", "False"},
      {"(r.decay.decayed, r.decay.archived)", "(3, 1)"},
      {"r.feedback is r.feedback or r.feedback.entries is r.feedback.entries", "False"},
      {"r.feedback.entries[0] is r.feedback.entries[0]", "False"},
      {"(r.feedback.entries[0].belief_id, r.feedback.entries[0].delta_applied)", "('b1', 0.25)"},
      {"r.task_reminders.append('x') or r.task_reminders", "['water the plants']"},
      {"r.concept.cluster_sizes", "[2, 5]"},
      {"r.trend_summary.recent[0].total_records, r.trend_summary.recent[0].cycle_time_ms", "(7, 12.5)"},
      {"r.reflection.findings[0].related_ids", "['r1']"},
  });
}

TEST_F(ValueClassesTest, MembersKeepTheirTypesAndWidths) {
  bind("r", sample_report());
  ConsequenceUnit unit{.record_id = "c1", .trust = -3, .links = {{"b:1", "supports"}}, .captured_at = 1.5};
  bind("u", unit);
  expect_all({
      {"r.causal.skipped", "True"},
      {"r.policy.avg_policy_strength", "0.0"},
      {"type(r.total_records), type(r.causal.skipped), type(r.timings.total_ms)",
       "(<class 'int'>, <class 'bool'>, <class 'float'>)"},
      // A score kept in 32 bits reads widened exactly.
      {"r.reflection.findings[0].score", "0.8999999761581421"},
      {"u.trust, u.links, u.captured_at", "(-3, {'b:1': 'supports'}, 1.5)"},
  });
}

TEST_F(ValueClassesTest, AttributesAreReadOnlyAndThereIsNoConstructor) {
  bind("r", sample_report());
  EXPECT_THAT(run("r.total_records = 0"), StartsWith("AttributeError: "));
  EXPECT_THAT(run("del r.decay"), StartsWith("AttributeError: "));
  EXPECT_THAT(run("r.extra = 1"), StartsWith("AttributeError: "));
  EXPECT_EQ(eval("r.total_records"), "7");
  EXPECT_EQ(run("type(r.decay)()"), "TypeError: No constructor defined for DecayReport");
  EXPECT_EQ(run("type(r.hotspots)()"), "TypeError: No constructor defined for MaintenanceHotspots");
}

// Four classes are handed out but never registered: their class objects are
// built on first use, and still carry their names and documentation.
TEST_F(ValueClassesTest, UnregisteredClassesCarryTheirNamesAndDocs) {
  bind("r", sample_report());
  expect_all({
      {"type(r.hotspots).__name__, type(r.hotspots).__module__", "('MaintenanceHotspots', 'vesk._core')"},
      {"type(r.feedback).__doc__", "'Feedback audit summary for a maintenance cycle.'"},
      {"type(r.feedback.entries[0]).__doc__", "'Single feedback audit event emitted by the belief feedback pass.'"},
      {"type(r.concept_surface).mode.__doc__", "'Current runtime surface mode: Off, Inspect, or Limited.'"},
      {"type(r.hotspots).dominant_phase_share.__doc__", "'Share of total cycle time spent in the dominant phase.'"},
      {"type(r.feedback).beliefs_touched.__doc__", "None"},
  });
}

TEST_F(ValueClassesTest, OutcomeReceiptReadsEnumerationsAndAbsentMembers) {
  OutcomeReceipt receipt;
  receipt.schema_version = 2;
  receipt.outcome = OutcomeKind::Unhelpful;
  receipt.logging_policy_id = "policy-7";
  receipt.selected_set_probability_bps = 2500;
  receipt.candidate_verdicts = {{"r1", OutcomeKind::Helpful}};
  bind("o", receipt);
  expect_all({
      {"type(o.outcome).__name__, o.outcome", "('OutcomeKind', OutcomeKind.Unhelpful)"},
      {"o.outcome is o.outcome", "False"},
      {"o.verifier_id, o.supersedes_receipt_id", "(None, None)"},
      {"o.schema_version, o.logging_policy_id, o.selected_set_probability_bps", "(2, 'policy-7', 2500)"},
      {"o.candidate_verdicts[0].record_id, o.candidate_verdicts[0].outcome", "('r1', OutcomeKind.Helpful)"},
  });
}

TEST_F(ValueClassesTest, OptionalsDictsAndLookAlikeClasses) {
  ProjectDigest project;
  project.graph.member_tags = {{"kiln", 2}};
  project.timeline.entries = {{.record_id = "e1", .due_date = std::nullopt},
                              {.record_id = "e2", .due_date = "2025-03-01", .overdue = true}};
  bind("p", project);
  bind("s", SalienceSummary{.bands = {1, 2, 3}});
  bind("b", BeliefInstabilitySummary{.volatility_bands = {4, 5, 6}});
  expect_all({
      {"p.graph is p.graph, p.graph.member_tags is p.graph.member_tags", "(False, False)"},
      {"p.graph.member_tags", "{'kiln': 2}"},
      {"[(e.due_date, e.overdue) for e in p.timeline.entries]", "[(None, False), ('2025-03-01', True)]"},
      {"(s.bands.low, s.bands.medium, s.bands.high), b.volatility_bands.high", "((1, 2, 3), 6)"},
      {"isinstance(s.bands, type(b.volatility_bands)) or isinstance(b.volatility_bands, type(s.bands))", "False"},
  });
}

class RetrievalEpisodeTest : public ValueClassesTest {
 protected:
  void SetUp() override {
    ValueClassesTest::SetUp();
    bind("ep", RetrievalEpisode{"e-1", "kiln glaze", {MemoryRoute::Graph, MemoryRoute::Timeline}, {"b2", "a1", "b2"}});
  }
  EpisodeCell& cell() { return native_value<EpisodeCell>(object("ep")); }
};

TEST_F(RetrievalEpisodeTest, AttributesAreComputedFromTheState) {
  expect_all({
      {"ep.id, ep.query", "('e-1', 'kiln glaze')"},
      {"ep.routes", "['timeline', 'graph']"},
      {"ep.candidate_ids", "['a1', 'b2']"},
      {"ep.routes is ep.routes", "False"},
  });
  EXPECT_EQ(run("type(ep)()"), "TypeError: No constructor defined for RetrievalEpisode");
  EXPECT_THAT(run("ep.query = 'x'"), StartsWith("AttributeError: "));
}

TEST_F(RetrievalEpisodeTest, EveryReferenceSeesOneLiveState) {
  ASSERT_EQ(run("same = ep"), "");
  {
    Result<EpisodeCell::Writer> writer = cell().write();
    ASSERT_TRUE(writer.ok());
    (*writer)->query = "changed";
    (*writer)->candidate_ids.insert("0z");
  }
  EXPECT_EQ(eval("same.query, same.candidate_ids"), "('changed', ['0z', 'a1', 'b2'])");
}

TEST_F(RetrievalEpisodeTest, BorrowRule) {
  {
    Result<EpisodeCell::Writer> writer = cell().write();
    ASSERT_TRUE(writer.ok());
    EXPECT_EQ(run("ep.id"), "RuntimeError: Already mutably borrowed");
    EXPECT_EQ(cell().write().status().message(), "Already borrowed");
  }
  {
    Result<EpisodeCell::Reader> reader = cell().read();
    ASSERT_TRUE(reader.ok());
    EXPECT_EQ(eval("ep.id"), "'e-1'");  // readers share
    EXPECT_EQ(cell().write().status().message(), "Already borrowed");
  }
  EXPECT_TRUE(cell().write().ok());  // every borrow let go
}

}  // namespace
}  // namespace vesk::py
