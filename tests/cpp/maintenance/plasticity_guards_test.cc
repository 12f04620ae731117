// The plasticity modes, the alert level and what the level does to a mode's
// settings.
#include "maintenance/plasticity_guards.h"

#include <gtest/gtest.h>

namespace vesk {
namespace {

TEST(PlasticityGuards, AlertLevelTestsItsConditionsInOrder) {
  struct Case {
    uint32_t alerts;
    float contradiction_rate;
    float generated_ratio;
    PlasticityAlertLevel level;
  };
  using L = PlasticityAlertLevel;
  const Case cases[] = {
      {0, 0.0f, 0.0f, L::Normal},    {4, 0.14f, 0.69f, L::Normal},  {0, 0.15f, 0.0f, L::Elevated},
      {0, 0.0f, 0.70f, L::Elevated}, {5, 0.0f, 0.0f, L::High},      {0, 0.30f, 0.0f, L::High},
      {0, 0.0f, 0.85f, L::High},     {9, 1.0f, 1.0f, L::High},      {10, 0.0f, 0.0f, L::Critical},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(plasticity_alert_level(c.alerts, c.contradiction_rate, c.generated_ratio), c.level)
        << c.alerts << " " << c.contradiction_rate << " " << c.generated_ratio;
  }
}

TEST(PlasticityGuards, TheLevelNarrowsOnlyNewRecords) {
  const PlasticitySettings open = plasticity_settings_for(2, {});
  EXPECT_EQ(open, PlasticitySettings{});  // "default" is what a store opens with
  EXPECT_EQ(apply_alert_level(open, PlasticityAlertLevel::Elevated), open);

  PlasticitySettings high = apply_alert_level(open, PlasticityAlertLevel::High);
  EXPECT_EQ(high.max_new_records_per_call, 1);
  EXPECT_TRUE(high.allow_new_records);
  PlasticitySettings none = open;
  none.max_new_records_per_call = 0;
  EXPECT_EQ(apply_alert_level(none, PlasticityAlertLevel::High).max_new_records_per_call, 0);

  PlasticitySettings critical = apply_alert_level(open, PlasticityAlertLevel::Critical);
  EXPECT_FALSE(critical.allow_new_records);
  EXPECT_EQ(critical.max_new_records_per_call, 0);
  EXPECT_TRUE(critical.allow_belief_reinforcement);
  EXPECT_TRUE(critical.allow_volatility_increase);
}

TEST(PlasticityGuards, CustomModeReadsTheStoredSettings) {
  const PlasticitySettings custom{.allow_new_records = true,
                                  .allow_belief_reinforcement = false,
                                  .allow_volatility_increase = true,
                                  .min_certainty = 0,
                                  .max_new_records_per_call = 7};
  EXPECT_EQ(plasticity_settings_for(3, custom), custom);
  for (uint8_t closed : {0, 1, 4, 255}) {
    const PlasticitySettings s = plasticity_settings_for(closed, custom);
    EXPECT_FALSE(s.allow_new_records || s.allow_belief_reinforcement || s.allow_volatility_increase);
    EXPECT_EQ(s.max_new_records_per_call, 0);
  }
}

}  // namespace
}  // namespace vesk
