// Namespace governance status: one line per namespace of the in-memory
// records, with how many records, beliefs and corrections it holds, how
// unstable its beliefs are, how much policy pressure and how many suggested
// corrections fall on it, one weighted instability score with its level,
// and the last maintenance cycle.
//
// The beliefs of a namespace ns are those whose key starts with "ns:" (a
// key without ':' belongs to no namespace here); corrections are attributed
// by their target (reports/correction_review.h, CorrectionTargets).
//   correction_density = corrections / records (0.0 without records)
//   instability_score  = 1.5 x high-volatility beliefs (volatility >= 0.2)
//                        + 1.2 x low-stability beliefs (stability <= 1.0)
//                        + 3.0 x correction_density
//                        + 0.8 x policy pressure areas
// in single precision; level "high" from 4.0, "medium" from 1.8, else "low".
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cognitive/belief_layer.h"

namespace vesk {

struct NamespaceGovernanceStatus {
  std::string namespace_;
  uint64_t record_count = 0;
  uint64_t belief_count = 0;
  uint64_t correction_count = 0;
  float correction_density = 0.0f;
  uint64_t high_volatility_belief_count = 0;
  uint64_t low_stability_belief_count = 0;
  float instability_score = 0.0f;
  std::string instability_level;
  uint64_t policy_pressure_area_count = 0;
  uint64_t suggested_correction_count = 0;
  std::optional<std::string> last_maintenance_cycle;  // the newest trend snapshot's timestamp
  std::string latest_dominant_phase;                  // its dominant phase, "none" without one

  bool operator==(const NamespaceGovernanceStatus&) const = default;
};

// The statuses being gathered, by namespace in byte order; the store fills
// in the counts, then `finish` scores them.
using GovernanceTallies = std::map<std::string, NamespaceGovernanceStatus, std::less<>>;

// Adds each belief to every tallied namespace whose name followed by ':'
// begins its key. One pass over the layer, which the caller holds shared.
void tally_namespace_beliefs(const BeliefEngine& beliefs, GovernanceTallies& tallies);

// The statuses in namespace order, with density, score, level and the
// maintenance fields set.
std::vector<NamespaceGovernanceStatus> finish_governance_status(GovernanceTallies tallies,
                                                                const std::optional<std::string>& last_cycle,
                                                                const std::optional<std::string>& last_phase);

}  // namespace vesk
