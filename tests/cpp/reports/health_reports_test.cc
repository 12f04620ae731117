// Values that the layer files cannot hold (NaN) and the orders they must not
// break: the instability and salience reports over hand-built layers.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "reports/belief_instability.h"
#include "reports/salience_summary.h"

namespace vesk {
namespace {

const float kNaN = std::nanf("");

BeliefEngine layer(const std::vector<std::pair<float, float>>& volatility_stability) {
  BeliefEngine e;
  int n = 0;
  for (auto [v, s] : volatility_stability) {
    std::string id = "b" + std::to_string(n++);
    e.beliefs[id] = Belief{.id = id, .key = id, .stability = s, .volatility = v};
  }
  return e;
}

std::vector<std::string> ids(const std::vector<Belief>& beliefs) {
  std::vector<std::string> out;
  for (const Belief& b : beliefs) out.push_back(b.id);
  return out;
}

TEST(BeliefInstability, NaNValuesFallLowAndOutOfTheLowStabilityCount) {
  const BeliefEngine e = layer({{kNaN, kNaN}, {0.3f, 0.5f}});
  const BeliefInstabilitySummary s = belief_instability_summary(RecordMap{}, e);
  EXPECT_EQ(s.volatility_bands.low, 1u);
  EXPECT_EQ(s.volatility_bands.high, 1u);
  EXPECT_EQ(s.low_stability_count, 1u);
}

TEST(BeliefInstability, IncomparableSecondKeysKeepTheFirstKeyOrder) {
  // A NaN in the tie-break makes two beliefs incomparable; the first key
  // still orders every belief.
  const BeliefEngine e = layer({{0.5f, kNaN}, {0.5f, 0.1f}, {0.9f, 0.2f}, {0.3f, 0.0f}});
  const std::vector<std::string> hv = ids(high_volatility_beliefs(e, std::nullopt, std::nullopt));
  ASSERT_EQ(hv.size(), 4u);
  EXPECT_EQ(hv.front(), "b2");
  EXPECT_EQ(hv.back(), "b3");
  const BeliefEngine f = layer({{kNaN, 0.5f}, {0.1f, 0.5f}, {0.9f, 0.2f}, {0.0f, 0.9f}});
  const std::vector<std::string> ls = ids(low_stability_beliefs(f, std::nullopt, std::nullopt));
  ASSERT_EQ(ls.size(), 4u);
  EXPECT_EQ(ls.front(), "b2");
  EXPECT_EQ(ls.back(), "b3");
}

TEST(Salience, NaNIsLowAndPassedOverByTheMaximum) {
  RecordMap records;
  for (auto [id, salience] : std::vector<std::pair<std::string, float>>{{"a", kNaN}, {"b", -0.5f}}) {
    records[id].id = id;
    records[id].salience = salience;
  }
  const SalienceSummary s = salience_summary(records);
  EXPECT_EQ(s.bands.low, 2u);
  EXPECT_EQ(s.max_salience, 0.0);
  EXPECT_TRUE(select_salient_records(records, high_salience_threshold(kNaN)).empty());
}

TEST(Salience, CompositeScoreBreaksTiesOnSalience) {
  std::vector<Record> rs(3);
  rs[0].id = "weak", rs[0].salience = 0.8f, rs[0].strength = 0.2f;
  rs[1].id = "strong", rs[1].salience = 0.8f, rs[1].strength = 0.9f;
  rs[2].id = "top", rs[2].salience = 0.9f, rs[2].strength = 0.0f;
  EXPECT_FLOAT_EQ(composite_record_score(rs[1]), 0.4f * 0.9f + 0.0625f + 0.1f * 0.8f);
  rank_salient_records(rs, 2);
  ASSERT_EQ(rs.size(), 2u);
  EXPECT_EQ(rs[0].id, "top");
  EXPECT_EQ(rs[1].id, "strong");
}

}  // namespace
}  // namespace vesk
