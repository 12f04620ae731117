// The plasticity guards of the experience intake: the store's plasticity
// mode, the settings each mode applies, the three counters of what the intake
// saw, and the alert level they raise.
//
// Mode (one byte): 0 "off", 1 "observe", 2 "default", 3 "custom"; any other
// value is "off". The settings per mode:
//
//   mode       new records  reinforcement  volatility  min certainty  max new per item
//   off        no           no             no          3 Asserted     0
//   observe    no           no             no          3 Asserted     0
//   default    yes          yes            yes         2 Hedged       3
//   custom     the store's PlasticitySettings
//
// "off" and "observe" change nothing, yet every event is still counted. A
// store opens in "off", with PlasticitySettings equal to "default"; no
// operation changes either while it is open.
//
// Alert level, computed once per cycle before the first item, tested in this
// order:
//   critical  alerts >= 10
//   high      alerts >= 5, contradiction rate >= 0.30 or generated ratio >= 0.85
//   elevated  contradiction rate >= 0.15 or generated ratio >= 0.70
//   normal    otherwise
// where alerts is alert_count as a 32-bit number, the contradiction rate is
// volatility_raise_count / experience_event_count (0 with no event) and the
// generated ratio the share of held records whose source type is exactly
// "generated" (0 with none). At high an item may add at most one record (none
// stays none); at critical it may add none. Elevated and normal change
// nothing, and reinforcement and volatility raises always follow the mode.
#pragma once

#include <atomic>
#include <cstdint>

#include "write/claim_certainty.h"

namespace vesk {

enum class PlasticityMode : uint8_t { Off = 0, Observe = 1, Default = 2, Custom = 3 };

struct PlasticitySettings {
  bool allow_new_records = true;
  bool allow_belief_reinforcement = true;
  bool allow_volatility_increase = true;
  uint8_t min_certainty = static_cast<uint8_t>(ClaimCertainty::Hedged);
  uint8_t max_new_records_per_call = 3;

  bool operator==(const PlasticitySettings&) const = default;
};

// Only the intake changes them, and nothing resets them while the store is
// open; each item adds its counts at its end.
struct PlasticityCounters {
  std::atomic<uint64_t> alert_count{0};
  std::atomic<uint64_t> volatility_raise_count{0};
  std::atomic<uint64_t> experience_event_count{0};
};

// In the order the levels are tested.
enum class PlasticityAlertLevel : uint8_t { Critical, High, Elevated, Normal };

// The settings of a mode byte; `custom` is read for mode 3 only.
PlasticitySettings plasticity_settings_for(uint8_t mode, const PlasticitySettings& custom);

PlasticityAlertLevel plasticity_alert_level(uint32_t alerts, float contradiction_rate, float generated_ratio);

// The contradiction rate of the counters as they stand.
float plasticity_contradiction_rate(const PlasticityCounters& counters);

// `settings` as the alert level narrows them.
PlasticitySettings apply_alert_level(PlasticitySettings settings, PlasticityAlertLevel level);

// Confidence of a record added from an observation: Hearsay and Speculative
// 0.3, Hedged 0.4, Asserted 0.5.
float observation_confidence(ClaimCertainty certainty);

}  // namespace vesk
