// The review queue's tie-breaks, NaN handling and dependents over hand-built
// clusters and layers, which the layer files cannot always produce (NaN,
// exact score ties with different dependents).
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "reports/contradiction_review.h"

namespace vesk {
namespace {

ContradictionCluster cluster(std::string id, uint64_t unresolved, double volatility = 0.0, double stability = 1.5,
                             std::vector<std::string> beliefs = {}) {
  return ContradictionCluster{.id = std::move(id),
                              .namespace_ = "ns",
                              .belief_ids = std::move(beliefs),
                              .unresolved_belief_count = unresolved,
                              .avg_volatility = volatility,
                              .avg_stability = stability};
}

std::vector<std::string> ids(const std::vector<ContradictionReviewItem>& items) {
  std::vector<std::string> out;
  for (const auto& i : items) out.push_back(i.cluster_id);
  return out;
}

TEST(ContradictionReview, TiesGoByImpactThenUnresolvedThenId) {
  // All score 10 (capped): order by downstream impact, unresolved count, id.
  std::vector<ContradictionCluster> clusters = {cluster("c", 20), cluster("b", 20), cluster("a", 13),
                                                cluster("d", 30)};
  const std::vector<uint64_t> causal = {0, 0, 1, 0}, policy = {0, 0, 0, 0};
  const auto items = contradiction_review_queue(clusters, causal, policy, 10);
  EXPECT_EQ(ids(items), (std::vector<std::string>{"a", "d", "b", "c"}));
  EXPECT_EQ(items[0].priority_score, 10.0f);
  EXPECT_EQ(ids(contradiction_review_queue(clusters, causal, policy, 2)), (std::vector<std::string>{"a", "d"}));
}

TEST(ContradictionReview, EachMinPassesOverNaN) {
  const float nan = std::nanf("");
  struct Case {
    double volatility, stability, conflict;
    float priority;
  } cases[] = {
      {nan, 0.0, 0.0, 10.0f},  // a NaN sum ranks at the cap
      {0.5, nan, 0.0, 2.0f},   // stability taken as 1.5: adds nothing
      {0.0, 1.5, nan, 2.0f},   // conflict mass taken at its cap of 2
  };
  for (const Case& c : cases) {
    ContradictionCluster cl = cluster("x", 0, c.volatility, c.stability);
    cl.total_conflict_mass = c.conflict;
    EXPECT_EQ(contradiction_priority(cl, 0), c.priority) << c.volatility << " " << c.stability << " " << c.conflict;
  }
}

TEST(ContradictionReview, DependentsCountOncePerClusterAndOnlyLiveOnes) {
  std::vector<ContradictionCluster> clusters = {cluster("c1", 0, 0, 0, {"b1", "b2"}), cluster("c2", 0, 0, 0, {"b3"})};
  CausalEngine causal;
  causal.patterns["p1"] = CausalPattern{.id = "p1", .cause_belief_ids = {"b1"}, .effect_belief_ids = {"b2", "b3"}};
  causal.patterns["p2"] = CausalPattern{.id = "p2", .cause_belief_ids = {"b1"}};
  causal.patterns["p2"].state = CausalState::Rejected;
  PolicyEngine policies;
  policies.hints["h1"] = PolicyHint{.id = "h1", .trigger_belief_ids = {"b2", "b1", "b9"}};
  policies.hints["h2"] = PolicyHint{.id = "h2", .trigger_belief_ids = {"b3"}};
  policies.hints["h2"].state = PolicyState::Rejected;
  EXPECT_EQ(dependent_causal_patterns(clusters, causal), (std::vector<uint64_t>{1, 1}));
  EXPECT_EQ(dependent_policy_hints(clusters, policies), (std::vector<uint64_t>{1, 0}));
}

}  // namespace
}  // namespace vesk
