#include "reports/cognitive_read_view.h"

#include <gtest/gtest.h>

#include "base/lock_rank.h"
#include "store/lock_order.h"

namespace vesk {
namespace {

struct Parts {
  Guarded<RecordMap> records{lock_order::kRecords};
  Guarded<BeliefEngine> beliefs{lock_order::kBeliefs};
  Guarded<ConceptEngine> concepts{lock_order::kConcepts};
  Guarded<CausalEngine> causal{lock_order::kCausal};
  Guarded<PolicyEngine> policies{lock_order::kPolicies};
  ConceptSurfaceCounters counters;
};

TEST(CognitiveReadView, KeepsInspectAndLimitedAndReadsAnyOtherModeAsOff) {
  Parts p;
  for (auto [stored, seen] : {std::pair<int, int>{0, 0}, {1, 1}, {2, 2}, {3, 0}, {255, 0}}) {
    CognitiveReadView view(p.records, p.beliefs, p.concepts, p.causal, p.policies, p.counters,
                           static_cast<uint8_t>(stored));
    EXPECT_EQ(view.concept_surface_mode(), seen) << stored;
  }
}

TEST(CognitiveReadView, HoldsAllFiveSharedUntilItDiesAndLendsTheCounters) {
  Parts p;
  {
    CognitiveReadView view(p.records, p.beliefs, p.concepts, p.causal, p.policies, p.counters, 1);
    // Readers still get in; a writer of any part does not.
    EXPECT_TRUE(p.records.mutex().try_lock_shared());
    p.records.mutex().unlock_shared();
    EXPECT_FALSE(p.records.mutex().try_lock());
    EXPECT_FALSE(p.beliefs.mutex().try_lock());
    EXPECT_FALSE(p.concepts.mutex().try_lock());
    EXPECT_FALSE(p.causal.mutex().try_lock());
    EXPECT_FALSE(p.policies.mutex().try_lock());
    view.counters().concepts_returned_since_last_cycle.fetch_add(2);
  }
  EXPECT_EQ(p.counters.concepts_returned_since_last_cycle.load(), 2u);
  EXPECT_TRUE(p.policies.mutex().try_lock());
  p.policies.mutex().unlock();
}

}  // namespace
}  // namespace vesk
