#include "maintenance/layer_stability.h"

#include <gtest/gtest.h>

#include <string>

namespace vesk {
namespace {

struct Layers {
  BeliefEngine beliefs;
  ConceptEngine concepts;
  CausalEngine causal;
  PolicyEngine policies;
  Guarded<StringSet> prev_beliefs, prev_concepts, prev_causal, prev_policies;

  LayerStability cycle() {
    return measure_layer_stability(beliefs, concepts, causal, policies,
                                   PreviousLayerIds{prev_beliefs, prev_concepts, prev_causal, prev_policies});
  }
};

void keys(StringMap& index, std::initializer_list<const char*> names) {
  index.clear();
  for (const char* n : names) index.emplace(n, std::string("id-") + n);
}

TEST(LayerStability, CountsAgainstThePreviousCycle) {
  Layers l;
  keys(l.beliefs.key_index, {"a", "b", "c", "d", "e"});
  keys(l.policies.key_index, {"p"});
  LayerStability first = l.cycle();
  EXPECT_EQ(first.belief_new, 5u);
  EXPECT_EQ(first.belief_retained, 0u);
  EXPECT_EQ(first.belief_dropped, 0u);
  EXPECT_FLOAT_EQ(first.belief_churn, 1.0);
  EXPECT_EQ(first.policy_new, 1u);
  EXPECT_FLOAT_EQ(first.concept_churn, 0.0);  // empty on both sides

  // Unchanged: nothing new or dropped.
  LayerStability second = l.cycle();
  EXPECT_EQ(second.belief_retained, 5u);
  EXPECT_EQ(second.belief_new + second.belief_dropped + second.policy_new + second.policy_dropped, 0u);
  EXPECT_EQ(second.belief_churn + second.policy_churn + second.concept_churn + second.causal_churn, 0.0);

  // Partly replaced: 2 kept of 5, 1 new; churn (1 + 3) / 3.
  keys(l.beliefs.key_index, {"a", "b", "z"});
  keys(l.causal.key_index, {"x", "y"});
  LayerStability third = l.cycle();
  EXPECT_EQ(third.belief_retained, 2u);
  EXPECT_EQ(third.belief_new, 1u);
  EXPECT_EQ(third.belief_dropped, 3u);
  EXPECT_DOUBLE_EQ(third.belief_churn, static_cast<double>(4.0f / 3.0f));
  EXPECT_EQ(third.causal_new, 2u);

  // Every belief gone: the divisor is 1, so the churn is the number dropped.
  keys(l.beliefs.key_index, {});
  LayerStability fourth = l.cycle();
  EXPECT_EQ(fourth.belief_dropped, 3u);
  EXPECT_FLOAT_EQ(fourth.belief_churn, 3.0);
  EXPECT_EQ(fourth.causal_retained, 2u);
}

}  // namespace
}  // namespace vesk
