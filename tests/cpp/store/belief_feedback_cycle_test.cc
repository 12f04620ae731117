// The feedback step inside a whole cycle: what it changes reaches the belief
// file, so a reopened store starts from the adjusted beliefs.
#include <gtest/gtest.h>

#include "base/fixed_env.h"
#include "maintenance/causal_edges.h"
#include "storage/test_dir.h"
#include "store/vesk.h"
#include "store/vesk_test_access.h"

namespace vesk {
namespace {

using testing::FixedEnv;
using testing::TempDir;

TEST(BeliefFeedbackCycle, TheBeliefFileHoldsTheAdjustedBeliefs) {
  TempDir dir;
  FixedEnv env;
  {
    auto v = Vesk::open(dir.path(), std::nullopt, env);
    ASSERT_TRUE(v.ok()) << v.status().message();
    CognitiveLayers& layers = VeskTestAccess::layers(**v);
    layers.beliefs.write()->beliefs["bel"] = Belief{.id = "bel", .score = 0.5f, .confidence = 0.5f, .volatility = 0.3f};
    CausalPattern p;
    p.id = "pat";
    p.state = CausalState::Stable;
    p.causal_strength = 0.8f;
    p.cause_belief_ids = {"bel"};
    layers.causal.write()->patterns["pat"] = p;
    // The store holds no record: with the empty corpus's fingerprint the
    // causal phase skips its rebuild and the pattern reaches the feedback.
    layers.causal.write()->last_corpus_fingerprint = causal_corpus_fingerprint(CycleSnapshot{});

    MaintenanceReport report = (*v)->run_maintenance();
    EXPECT_EQ(report.feedback.beliefs_touched, 1u);
    ASSERT_EQ(report.feedback.entries.size(), 1u);
    EXPECT_EQ(report.feedback.entries[0].source_id, "pat");
    ASSERT_TRUE((*v)->close().ok());
  }
  auto v = Vesk::open(dir.path(), std::nullopt, env);
  ASSERT_TRUE(v.ok()) << v.status().message();
  const Belief b = VeskTestAccess::layers(**v).beliefs.read()->beliefs.at("bel");
  EXPECT_NEAR(b.confidence, 0.524, 1e-6);
  EXPECT_NEAR(b.volatility, 0.284, 1e-6);
  EXPECT_EQ(b.last_updated, env.now_seconds());
}

}  // namespace
}  // namespace vesk
