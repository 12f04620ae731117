// The belief phase on hand-built snapshots and SDR maps: hypotheses along
// conflict connections, resolution, stability, revisions and pruning.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "base/fixed_env.h"
#include "cognitive/belief_hypotheses.h"
#include "maintenance/layer_phases.h"

namespace vesk {
namespace {

using testing::FixedEnv;

struct Phase {
  FixedEnv env;
  BeliefEngine engine;
  CycleSnapshot records;
  CycleSdrMap sdrs;

  Record& add(std::string id, float confidence = 0.9f, std::vector<std::string> tags = {"db"}) {
    Record r;
    r.id = id;
    r.content = "the staging database listens";
    r.tags = std::move(tags);
    r.confidence = confidence;
    r.created_at = env.now_seconds();
    records[id] = r;
    return records[id];
  }
  void conflict(const std::string& a, const std::string& b) { records[a].connection_types[b] = "contradicts"; }
  BeliefPhaseReport run() { return update_beliefs(engine, records, sdrs, env); }
  const Belief* of(const std::string& record) const { return belief_for_record(engine, record); }
};

TEST(BeliefPhase, TwoAgreeingRecordsMakeOneSingletonThatGrowsStable) {
  Phase p;
  p.add("a");
  p.add("b");
  BeliefPhaseReport r = p.run();
  EXPECT_EQ(r, (BeliefPhaseReport{.beliefs_created = 1, .resolved = 1, .total_beliefs = 1, .total_hypotheses = 1}));
  const Belief* b = p.of("a");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b, p.of("b"));
  EXPECT_EQ(b->id.size(), 12u);
  EXPECT_EQ(b->key, "default:db:fact");
  EXPECT_EQ(b->state, BeliefState::Singleton);
  EXPECT_EQ(b->winner_id, b->hypothesis_ids.at(0));
  EXPECT_EQ(b->stability, 1.0f);
  EXPECT_EQ(b->world_verdict, WorldVerdict::EvidenceDebt);
  EXPECT_FLOAT_EQ(b->score, 0.9f);  // confidence x recency 1 x consistency 1
  const std::string id = b->id;

  r = p.run();
  EXPECT_EQ(r, (BeliefPhaseReport{.resolved = 1, .total_beliefs = 1, .total_hypotheses = 1}));
  EXPECT_EQ(p.of("a")->id, id);
  EXPECT_EQ(p.of("a")->stability, 2.0f);
}

TEST(BeliefPhase, ResolutionByScores) {
  // Two sides of one "contradicts" connection, their scores the records'
  // confidences.
  struct Case {
    float a, b;
    BeliefState state;
  } cases[] = {{0.50f, 0.45f, BeliefState::Unresolved},
               {0.50f, 0.30f, BeliefState::Resolved},
               {0.30f, 0.00f, BeliefState::Resolved},
               {0.50f, 0.50f, BeliefState::Unresolved}};
  for (const Case& c : cases) {
    Phase p;
    p.add("a", c.a);
    p.add("b", c.b);
    p.conflict("a", "b");
    const BeliefPhaseReport r = p.run();
    const Belief* b = p.of("a");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->state, c.state) << c.a << " vs " << c.b;
    EXPECT_EQ(b->hypothesis_ids.size(), 2u);
    EXPECT_EQ(r.total_hypotheses, 2u);
    if (c.state == BeliefState::Resolved) {
      EXPECT_EQ(*b->winner_id, p.engine.record_index.at("a"));
      EXPECT_EQ(b->stability, 1.0f);
    } else {
      EXPECT_FALSE(b->winner_id);
      EXPECT_EQ(b->stability, 0.0f);
    }
    EXPECT_FLOAT_EQ(b->score, c.a);
  }
}

TEST(BeliefHypotheses, SplitAlongConflicts) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> conflicts;
    std::vector<std::string> contradiction_records;
    std::vector<std::vector<std::string>> hypotheses;
    bool forced;
  } cases[] = {
      {"no conflicts", {}, {}, {{"a", "b", "c"}}, false},
      {"one pair and a lone record", {{"b", "a"}}, {}, {{"a"}, {"b"}, {"c"}}, true},
      {"a path is two-sided", {{"a", "b"}, {"c", "b"}}, {}, {{"a", "c"}, {"b"}}, false},
      {"a triangle is not", {{"a", "b"}, {"b", "c"}, {"c", "a"}}, {}, {{"a"}, {"b"}, {"c"}}, true},
      {"contradiction records stand apart", {}, {"b"}, {{"a", "c"}, {"b"}}, false},
      {"a contradiction record starts colour 1", {{"a", "b"}, {"c", "b"}}, {"a"}, {{"b"}, {"a", "c"}}, false},
  };
  for (const Case& c : cases) {
    std::vector<Record> rs(3);
    for (int i = 0; i < 3; ++i) rs[i].id = std::string(1, static_cast<char>('a' + i));
    ClaimGroup group{&rs[2], &rs[0], &rs[1]};  // group order differs from id order
    for (const auto& [from, to] : c.conflicts) rs[from[0] - 'a'].connection_types[to] = "conflicts_with";
    for (const std::string& id : c.contradiction_records) rs[id[0] - 'a'].semantic_type = "contradiction";
    const HypothesisSplit split = split_hypotheses(group);
    std::vector<std::vector<std::string>> got;
    for (const ClaimGroup& h : split.hypotheses) {
      got.emplace_back();
      for (const Record* r : h) got.back().push_back(r->id);
    }
    for (auto& h : got) std::sort(h.begin(), h.end());
    EXPECT_EQ(got, c.hypotheses) << c.name;
    EXPECT_EQ(split.forced_irresolution, c.forced) << c.name;
  }
}

TEST(BeliefPhase, ForcedIrresolutionAndConflictMass) {
  Phase three;
  three.add("a", 0.9f);
  three.add("b", 0.1f);
  three.add("c", 0.1f);
  three.conflict("a", "b");
  EXPECT_EQ(three.run().unresolved, 1u);
  EXPECT_EQ(three.of("a")->state, BeliefState::Unresolved);

  Phase mass;
  mass.add("a", 0.9f).conflict_mass = 3;
  mass.records["a"].support_mass = 1;
  mass.add("b", 0.1f);
  mass.run();
  EXPECT_EQ(mass.of("a")->state, BeliefState::Unresolved);
  EXPECT_EQ(mass.of("a")->hypothesis_ids.size(), 2u);
}

TEST(BeliefPhase, LosingTheWinnerCountsARevision) {
  Phase p;
  p.add("a");
  p.add("b");
  p.run();
  p.conflict("a", "b");
  BeliefPhaseReport r = p.run();
  EXPECT_EQ(r.revisions, 1u);
  EXPECT_FLOAT_EQ(r.churn_rate, 1.0f);
  EXPECT_EQ(r.unresolved, 1u);
  EXPECT_EQ(p.engine.hypotheses.size(), 2u);  // the old joint hypothesis is gone
  // Unresolved -> Resolved is no revision.
  p.records["b"].confidence = 0.2f;
  r = p.run();
  EXPECT_EQ(r.revisions, 0u);
  EXPECT_EQ(p.of("a")->state, BeliefState::Resolved);
}

TEST(BeliefPhase, OnlyClaimRecordsInGroupsOfTwoMakeBeliefs) {
  Phase p;
  p.add("a");
  p.add("weak").strength = 0.04f;
  p.add("short").content = "012345678";
  p.add("alone", 0.9f, {"other"});
  BeliefPhaseReport r = p.run();
  EXPECT_EQ(r.total_beliefs, 0u);
  EXPECT_TRUE(p.engine.record_index.empty());
}

TEST(BeliefPhase, AVanishedKeyIsPrunedWithItsHypothesesAndRecords) {
  Phase p;
  p.add("a");
  p.add("b");
  p.add("c", 0.9f, {"net"});
  p.add("d", 0.9f, {"net"});
  p.run();
  ASSERT_EQ(p.engine.beliefs.size(), 2u);
  const std::string kept = p.of("a")->id;
  p.engine.beliefs.at(kept).volatility = 0.4f;
  p.engine.beliefs.at(kept).world_verdict = WorldVerdict::Refuted;
  p.records.erase("d");
  const BeliefPhaseReport r = p.run();
  EXPECT_EQ(r.beliefs_pruned, 1u);
  EXPECT_EQ(r.total_beliefs, 1u);
  EXPECT_EQ(r.total_hypotheses, 1u);
  EXPECT_FALSE(p.engine.record_index.contains("c"));
  EXPECT_FALSE(p.engine.key_index.contains("default:net:fact"));
  EXPECT_EQ(p.engine.beliefs.at(kept).volatility, 0.4f);
  EXPECT_EQ(p.engine.beliefs.at(kept).world_verdict, WorldVerdict::Refuted);
}

TEST(BeliefPhase, DisjointRecordsSplitIntoSingleRecordGroupsWithoutBeliefs) {
  Phase p;
  p.add("a");
  p.add("b");
  p.add("c").content = "our invoices are printed every monday";
  p.sdrs["a"] = std::make_shared<const Sdr>(Sdr{1, 2, 3});
  p.sdrs["b"] = std::make_shared<const Sdr>(Sdr{1, 2, 3});
  p.sdrs["c"] = std::make_shared<const Sdr>(Sdr{7, 8, 9});
  p.run();
  ASSERT_NE(p.of("a"), nullptr);
  EXPECT_TRUE(p.of("a")->key == "default:db:fact#0" || p.of("a")->key == "default:db:fact#1") << p.of("a")->key;
  EXPECT_EQ(p.of("c"), nullptr);
}

TEST(BeliefPhase, ATakenBeliefIdIsDrawnAgain) {
  Phase p;
  FixedEnv probe;  // the same random stream: its first id is the one the phase draws first
  const std::string first = new_record_id(probe).value();
  p.engine.beliefs[first] = Belief{.id = first, .key = "elsewhere"};
  p.add("a");
  p.add("b");
  p.run();
  ASSERT_NE(p.of("a"), nullptr);
  EXPECT_NE(p.of("a")->id, first);
  EXPECT_EQ(p.engine.beliefs.size(), 2u);
}

TEST(BeliefHypotheses, IdsHashTheBeliefAndTheSortedMembers) {
  EXPECT_EQ(hypothesis_id("x", {"b", "a"}), hypothesis_id("x", {"a", "b"}));
  EXPECT_NE(hypothesis_id("x", {"a", "b"}), hypothesis_id("y", {"a", "b"}));
  EXPECT_GE(hypothesis_id("x", {"a"}).size(), 12u);
}

TEST(BeliefHypotheses, ValuesOfAHypothesis) {
  const double now = 1'750'000'000;
  Record a, b;
  a.id = "a", b.id = "b";
  a.confidence = 0.8f, b.confidence = 0.4f;
  a.support_mass = 3, b.support_mass = 1;
  a.conflict_mass = 1;
  a.created_at = now - 14 * 86400.0;
  b.created_at = now - 28 * 86400.0;
  b.valid_from = now + 10;  // a future member: recency 1
  Hypothesis h = make_hypothesis("x", {&a, &b}, now);
  EXPECT_FLOAT_EQ(h.confidence, 0.6f);
  EXPECT_EQ(h.support_mass, 4.0f);
  EXPECT_EQ(h.conflict_mass, 1.0f);
  EXPECT_EQ(h.recency, 1.0f);
  EXPECT_NEAR(h.consistency, 1.0f / 1.08f, 1e-6);
  EXPECT_NEAR(h.score, (std::log(5.0f) + 1.0f) * 0.6f / 1.08f - 0.35f * std::log(2.0f), 1e-6);
  EXPECT_EQ(h.prototype_record_ids, (std::vector<std::string>{"a", "b"}));

  Hypothesis old = make_hypothesis("x", {&a}, now);
  EXPECT_FLOAT_EQ(old.recency, static_cast<float>(std::exp(-1.0)));
  a.conflict_mass = 1000;
  EXPECT_EQ(make_hypothesis("x", {&a}, now).score, 0.0f);
}

}  // namespace
}  // namespace vesk
