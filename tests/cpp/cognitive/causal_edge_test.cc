#include "cognitive/causal_edge.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace vesk {
namespace {

TEST(CausalEdge, ClassifiesFromSignals) {
  constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
  struct Case {
    uint64_t support, counter;
    double lift;
    uint64_t positive, negative;
    CausalEdgeKind want;
  };
  const Case cases[] = {
      {0, 0, 2.0, 0, 0, CausalEdgeKind::Causes},       // no observations: the lift decides
      {3, 4, 2.0, 0, 0, CausalEdgeKind::Precedes},     // mostly counterevidence
      {4, 4, 2.0, 0, 0, CausalEdgeKind::Causes},       // a ratio of exactly 0.5 is not enough
      {5, 1, 1.0, 0, 0, CausalEdgeKind::Enables},      // lift 1.0 is not above 1
      {5, 1, 3.0, 1, 2, CausalEdgeKind::Refutes},      // negative effects outweigh positive ones
      {5, 1, 3.0, 2, 2, CausalEdgeKind::Causes},       // a tie in signals does not refute
      {3, 4, 2.0, 0, 9, CausalEdgeKind::Precedes},     // counterevidence decides before signals
      {5, 1, 1.00000001, 0, 0, CausalEdgeKind::Enables},  // narrows to 1.0f
      {5, 1, 1.0000001, 0, 0, CausalEdgeKind::Causes},    // narrows above 1.0f
      {5, 1, std::nan(""), 0, 0, CausalEdgeKind::Enables},
      {5, 1, 1e300, 0, 0, CausalEdgeKind::Causes},     // narrows to +inf
      {kMax, kMax, 2.0, 0, 0, CausalEdgeKind::Causes},  // the total does not wrap around
      {1, kMax, 2.0, 0, 0, CausalEdgeKind::Precedes},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(classify_causal_edge(c.support, c.counter, c.lift, c.positive, c.negative), c.want)
        << c.support << " " << c.counter << " " << c.lift << " " << c.positive << " " << c.negative;
  }
}

}  // namespace
}  // namespace vesk
