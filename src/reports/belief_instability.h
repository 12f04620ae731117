// Belief instability: how settled the belief layer is (resolved, unresolved,
// singleton and empty beliefs, contradiction clusters, volatility and
// stability), and the clusters of beliefs that contradict each other.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vesk {

// Beliefs that conflict over records sharing tags, in one namespace.
struct ContradictionCluster {
  std::string id;
  std::string namespace_;
  std::vector<std::string> belief_ids;
  std::vector<std::string> belief_keys;
  std::vector<std::string> record_ids;
  std::vector<std::string> shared_tags;
  uint64_t unresolved_belief_count = 0;
  uint64_t high_volatility_belief_count = 0;
  double avg_volatility = 0.0;
  double avg_stability = 0.0;
  double total_conflict_mass = 0.0;
  double max_conflict_mass = 0.0;

  bool operator==(const ContradictionCluster&) const = default;
};

// Beliefs counted by volatility band.
struct BeliefVolatilityBands {
  uint64_t low = 0;
  uint64_t medium = 0;
  uint64_t high = 0;

  bool operator==(const BeliefVolatilityBands&) const = default;
};

struct BeliefInstabilitySummary {
  uint64_t total_beliefs = 0;
  uint64_t resolved = 0;
  uint64_t unresolved = 0;
  uint64_t singleton = 0;
  uint64_t empty = 0;
  uint64_t contradiction_cluster_count = 0;
  uint64_t high_volatility_count = 0;
  uint64_t low_stability_count = 0;
  double avg_volatility = 0.0;
  double avg_stability = 0.0;
  BeliefVolatilityBands volatility_bands;

  bool operator==(const BeliefInstabilitySummary&) const = default;
};

}  // namespace vesk
