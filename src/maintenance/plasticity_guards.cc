#include "maintenance/plasticity_guards.h"

namespace vesk {

PlasticitySettings plasticity_settings_for(uint8_t mode, const PlasticitySettings& custom) {
  switch (mode) {
    case static_cast<uint8_t>(PlasticityMode::Default):
      return PlasticitySettings{};
    case static_cast<uint8_t>(PlasticityMode::Custom):
      return custom;
    default:  // off, observe and unknown bytes
      return PlasticitySettings{.allow_new_records = false,
                                .allow_belief_reinforcement = false,
                                .allow_volatility_increase = false,
                                .min_certainty = static_cast<uint8_t>(ClaimCertainty::Asserted),
                                .max_new_records_per_call = 0};
  }
}

PlasticityAlertLevel plasticity_alert_level(uint32_t alerts, float contradiction_rate, float generated_ratio) {
  if (alerts >= 10) return PlasticityAlertLevel::Critical;
  if (alerts >= 5 || contradiction_rate >= 0.30f || generated_ratio >= 0.85f) return PlasticityAlertLevel::High;
  if (contradiction_rate >= 0.15f || generated_ratio >= 0.70f) return PlasticityAlertLevel::Elevated;
  return PlasticityAlertLevel::Normal;
}

float plasticity_contradiction_rate(const PlasticityCounters& counters) {
  const uint64_t events = counters.experience_event_count.load();
  if (events == 0) return 0.0f;
  return static_cast<float>(counters.volatility_raise_count.load()) / static_cast<float>(events);
}

PlasticitySettings apply_alert_level(PlasticitySettings settings, PlasticityAlertLevel level) {
  if (level == PlasticityAlertLevel::Critical) {
    settings.max_new_records_per_call = 0;
    settings.allow_new_records = false;
  } else if (level == PlasticityAlertLevel::High && settings.max_new_records_per_call != 0) {
    settings.max_new_records_per_call = 1;
  }
  return settings;
}

float observation_confidence(ClaimCertainty certainty) {
  switch (certainty) {
    case ClaimCertainty::Hearsay:
    case ClaimCertainty::Speculative: return 0.3f;
    case ClaimCertainty::Hedged: return 0.4f;
    case ClaimCertainty::Asserted: return 0.5f;
  }
  return 0.3f;
}

}  // namespace vesk
