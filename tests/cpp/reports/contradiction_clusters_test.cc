// Contradiction clusters over hand-built belief layers and record maps.
#include "reports/contradiction_clusters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace vesk {
namespace {

struct Layer {
  RecordMap records;
  BeliefEngine engine;

  // An unstable belief (stability 1) over records that carry `tags`.
  Belief& add(std::string id, std::vector<std::string> record_ids, std::vector<std::string> tags = {},
              std::string ns = "default") {
    Hypothesis h{.id = id + "-h", .belief_id = id, .prototype_record_ids = record_ids};
    engine.hypotheses[h.id] = h;
    for (const std::string& r : record_ids) {
      Record& rec = records[r];
      rec.id = r;
      rec.namespace_ = ns;
      for (const std::string& t : tags) rec.tags.push_back(t);
    }
    Belief b{.id = id, .key = ns + ":t:fact", .hypothesis_ids = {h.id}, .state = BeliefState::Singleton,
             .stability = 1.0f};
    engine.beliefs[id] = b;
    return engine.beliefs[id];
  }
  std::vector<ContradictionCluster> clusters(std::optional<std::string_view> ns = std::nullopt,
                                             std::optional<size_t> limit = std::nullopt) {
    return contradiction_clusters(records, engine, ns, limit);
  }
};

TEST(ContradictionClusters, OnlyUnstableBeliefsTakePart) {
  struct Case {
    BeliefState state;
    float volatility, stability, conflict;
    bool unstable;
  } cases[] = {
      {BeliefState::Resolved, 0.1f, 2.0f, 0.0f, false},  {BeliefState::Resolved, 0.1f, 1.0f, 0.0f, true},
      {BeliefState::Unresolved, 0.0f, 2.0f, 0.0f, true}, {BeliefState::Resolved, 0.2f, 2.0f, 0.0f, true},
      {BeliefState::Resolved, 0.0f, 2.0f, 0.5f, true},   {BeliefState::Resolved, std::nanf(""), 2.0f, 0.0f, true},
  };
  for (const Case& c : cases) {
    Layer l;
    Belief& b = l.add("b1", {"r1"});
    b.state = c.state, b.volatility = c.volatility, b.stability = c.stability, b.conflict_mass = c.conflict;
    EXPECT_EQ(l.clusters().size(), c.unstable ? 1u : 0u) << c.volatility << " " << c.stability;
  }
}

TEST(ContradictionClusters, SharedRecordsAndTagsLinkWithinANamespace) {
  Layer l;
  l.add("A", {"r1", "r2"}, {"p"});
  l.add("B", {"r2", "r3"}, {"q"});   // shares r2 with A
  l.records["r3"].tags.push_back("s");
  l.add("C", {"r4"}, {"s"});         // shares the tag s with B
  l.add("D", {"r5"}, {"s"}, "other");  // same tag, other namespace
  std::vector<ContradictionCluster> all = l.clusters();
  ASSERT_EQ(all.size(), 2u);
  const ContradictionCluster& three = all[0].belief_ids.size() == 3 ? all[0] : all[1];
  EXPECT_EQ(three.belief_ids, (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(three.namespace_, "default");
  // Tags carried by two or more members: r2 brings p and q to A and B, r3
  // brings s to B, and C has s.
  EXPECT_EQ(three.shared_tags, (std::vector<std::string>{"p", "q", "s"}));
  std::vector<std::string> records = three.record_ids;  // membership order follows the belief map
  std::sort(records.begin(), records.end());
  records.erase(std::unique(records.begin(), records.end()), records.end());
  EXPECT_EQ(records, (std::vector<std::string>{"r1", "r2", "r3", "r4"}));
  EXPECT_EQ(l.clusters("other").size(), 1u);
  EXPECT_EQ(l.clusters("none").size(), 0u);
  // The id depends on namespace and members only.
  EXPECT_EQ(l.clusters()[0].id, all[0].id);
  EXPECT_NE(all[0].id, all[1].id);
}

TEST(ContradictionClusters, FieldsOfOneCluster) {
  Layer l;
  Belief& b = l.add("b1", {"r1", "r1", "r2"}, {"z", "b", "a", "c"});
  b.volatility = 0.3f;
  b.conflict_mass = 2.0f;
  b.state = BeliefState::Unresolved;
  const std::vector<ContradictionCluster> c = l.clusters();
  ASSERT_EQ(c.size(), 1u);
  EXPECT_EQ(c[0].shared_tags, (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(c[0].record_ids, (std::vector<std::string>{"r1", "r2"}));
  EXPECT_EQ(c[0].unresolved_belief_count, 1u);
  EXPECT_EQ(c[0].high_volatility_belief_count, 1u);
  EXPECT_FLOAT_EQ(c[0].avg_volatility, 0.3f);
  EXPECT_EQ(c[0].total_conflict_mass, 2.0f);
  EXPECT_EQ(c[0].max_conflict_mass, 2.0f);
}

TEST(ContradictionClusters, OrderAndLimits) {
  Layer l;
  for (int i = 0; i < 120; ++i) l.add("b" + std::to_string(i), {"r" + std::to_string(i)}).volatility = (i % 10) / 10.0f;
  EXPECT_EQ(l.clusters().size(), 20u);
  EXPECT_EQ(l.clusters(std::nullopt, 500).size(), 100u);
  EXPECT_EQ(l.clusters(std::nullopt, 0).size(), 0u);
  const std::vector<ContradictionCluster> c = l.clusters(std::nullopt, 100);
  for (size_t i = 1; i < c.size(); ++i) EXPECT_GE(c[i - 1].avg_volatility, c[i].avg_volatility);
  // Ties on volatility fall to conflict mass, then to the member count.
  l.engine.beliefs.at("b9").conflict_mass = 1.0f;
  EXPECT_EQ(l.clusters(std::nullopt, 1)[0].belief_ids, (std::vector<std::string>{"b9"}));
  // A NaN volatility compares equal and breaks nothing.
  l.engine.beliefs.at("b19").volatility = std::nanf("");
  EXPECT_EQ(l.clusters(std::nullopt, 500).size(), 100u);
}

}  // namespace
}  // namespace vesk
