#include "recall/recall_explanation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <regex>

#include "base/fixed_env.h"
#include "model/record_map.h"

namespace vesk {
namespace {

constexpr double kNow = 1'800'000'000.0;

TEST(RecallExplanation, TraceIdsAreVersionFourUuids) {
  testing::FixedEnv env;
  const std::regex shape("^mem_[0-9a-f]{12}4[0-9a-f]{3}[89ab][0-9a-f]{15}$");
  Result<std::string> a = new_recall_trace_id(env), b = new_recall_trace_id(env);
  ASSERT_TRUE(a.ok() && b.ok());
  EXPECT_TRUE(std::regex_match(*a, shape)) << *a;
  EXPECT_TRUE(std::regex_match(*b, shape)) << *b;
  EXPECT_NE(*a, *b);

  struct NoRandom : testing::FixedEnv {
    Status random_bytes(void*, size_t) override { return Status::OS("Operation not permitted"); }
  } broken;
  Result<std::string> failed = new_recall_trace_id(broken);
  ASSERT_FALSE(failed.ok());
  EXPECT_EQ(failed.status().message(), "could not retrieve random bytes for uuid: Operation not permitted");
}

TEST(RecallExplanation, RejectionReasons) {
  const double inf = std::numeric_limits<double>::infinity();
  using V = std::vector<std::string>;
  struct Case {
    std::optional<double> from, until;
    float strength;
    V want;
  } cases[] = {
      {std::nullopt, std::nullopt, 0.5f, {"outside_top_k"}},
      {std::nullopt, std::nullopt, 0.05f, {"below_strength_threshold"}},
      {kNow + 1, std::nullopt, 0.5f, {"not_yet_valid"}},
      {kNow + 1, std::nullopt, 0.05f, {"not_yet_valid", "below_strength_threshold"}},
      {kNow, std::nullopt, 0.5f, {"outside_top_k"}},
      {std::nullopt, kNow, 0.5f, {"expired"}},
      {std::nullopt, kNow + 1, 0.5f, {"outside_top_k"}},
      {kNow + 1, kNow - 1, 0.5f, {"not_yet_valid"}},
      {-inf, std::nullopt, 0.05f, {"invalid_temporal_bounds", "below_strength_threshold"}},
      {kNow + 1, std::nan(""), 0.5f, {"invalid_temporal_bounds"}},
  };
  for (const Case& c : cases) {
    Record r;
    r.valid_from = c.from;
    r.valid_until = c.until;
    r.strength = c.strength;
    EXPECT_EQ(rejection_reasons(r, kNow, 0.1f, std::nullopt), c.want)
        << c.from.value_or(0) - kNow << " " << c.until.value_or(0) - kNow << " " << c.strength;
  }
  // A losing hypothesis of a resolved belief comes last; other states and
  // the winner give no such reason.
  Record r;
  BeliefSummary loser{.state = "resolved", .is_winning_hypothesis = false};
  EXPECT_EQ(rejection_reasons(r, kNow, 0.1f, loser), (V{"outside_top_k", "suppressed_by_belief_resolution"}));
  loser.is_winning_hypothesis = true;
  EXPECT_EQ(rejection_reasons(r, kNow, 0.1f, loser), V{"outside_top_k"});
  loser = {.state = "unresolved"};
  EXPECT_EQ(rejection_reasons(r, kNow, 0.1f, loser), V{"outside_top_k"});
}

struct Candidates {
  RecordMap records;
  CandidateTraceMap traces;
  BeliefEngine beliefs;

  Record& add(const std::string& id, float rrf) {
    Record r;
    r.id = id;
    r.content = "content of " + id;
    records.insert_or_assign(id, std::move(r));
    CandidateTrace& t = traces[id];
    t.record_id = id;
    t.rrf_score = rrf;
    t.final_score = rrf / 2;
    return records.at(id);
  }
};

TEST(RecallExplanation, RejectedCandidatesBestFirstVisibleAndCountedBeforeTheCut) {
  Candidates c;
  c.add("sel", 0.9f);
  c.add("b", 0.5f);
  c.add("a", 0.5f);
  c.add("ab", 0.5f);
  c.add("hidden", 0.8f).metadata["acl_visibility"] = "restricted";
  c.add("odd", 0.8f).metadata["acl_visibility"] = "team";
  c.add("weak", 0.1f).strength = 0.01f;
  c.traces["gone"].record_id = "gone";  // a trace whose record the view does not find
  for (int i = 0; i < 120; ++i) c.add("z" + std::to_string(100 + i), 0.01f);

  DecisionSummary summary;
  const StringSet selected = {"sel"};
  std::vector<RejectedCandidate> out =
      rejected_candidates(c.traces, selected, record_lookup(c.records), c.beliefs, kNow, 0.1f, summary);
  ASSERT_EQ(out.size(), 100u);
  EXPECT_EQ(out[0].record_id, "a");
  EXPECT_EQ(out[1].record_id, "ab");
  EXPECT_EQ(out[2].record_id, "b");
  EXPECT_EQ(out[3].record_id, "weak");
  EXPECT_EQ(out[0].content_preview, "content of a");
  EXPECT_EQ(out[0].trace.final_score, 0.25f);
  EXPECT_EQ(out[0].trace.rerank_delta, 0.0f);
  for (const RejectedCandidate& r : out) EXPECT_TRUE(r.record_id != "hidden" && r.record_id != "odd");

  EXPECT_EQ(summary.rejected_count, 124u);
  EXPECT_EQ(summary.reported_rejected_count, 100u);
  EXPECT_EQ(summary.omitted_rejected_count, 24u);
  EXPECT_EQ(summary.rejection_counts,
            (std::map<std::string, uint64_t>{{"below_strength_threshold", 1}, {"outside_top_k", 123}}));
}

TEST(RecallExplanation, TheFirstRunsTracesWin) {
  CandidateTraceMap wider, first;
  wider["a"].rrf_score = 1.0f;
  wider["b"].rrf_score = 2.0f;
  first["b"].rrf_score = 3.0f;
  first["c"].rrf_score = 4.0f;
  CandidateTraceMap merged = merge_candidate_traces(std::move(wider), first);
  EXPECT_EQ(merged.size(), 3u);
  EXPECT_EQ(merged.at("a").rrf_score, 1.0f);
  EXPECT_EQ(merged.at("b").rrf_score, 3.0f);
  EXPECT_EQ(merged.at("c").rrf_score, 4.0f);
}

}  // namespace
}  // namespace vesk
