// Belief instability: how settled the belief layer is (resolved, unresolved,
// singleton and empty beliefs, contradiction clusters, volatility and
// stability), and the clusters of beliefs that contradict each other.
//
// Bands of volatility: high from 0.2, medium from 0.05, low below (a NaN is
// low). A belief of stability at most 1.0 counts as of low stability. Sums
// and averages are single precision. All functions are pure reads: the
// caller holds the record map and the belief layer shared (the cognitive
// read view).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cognitive/belief_layer.h"
#include "model/record_map.h"

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

// The summary; `contradiction_cluster_count` is the length of the default
// (at most 20) cluster list of all namespaces. All zeros for an empty layer,
// where the clusters are not built.
BeliefInstabilitySummary belief_instability_summary(const RecordMap& records, const BeliefEngine& beliefs);

// Copies of the beliefs of volatility at least the threshold (0.2 when none;
// clamped into [0, 1]; a NaN selects nothing), most volatile first, equal or
// incomparable volatilities by stability ascending, then map order; at most
// `limit` (20 when none, at most 100).
std::vector<Belief> high_volatility_beliefs(const BeliefEngine& beliefs, std::optional<float> min_volatility,
                                            std::optional<size_t> limit);

// Copies of the beliefs of stability at most the bound (1.0 when none; a
// negative or NaN bound becomes 0.0; no upper clamp), least stable first,
// equal or incomparable stabilities by volatility descending, then map
// order; at most `limit` (20 when none, at most 100).
std::vector<Belief> low_stability_beliefs(const BeliefEngine& beliefs, std::optional<float> max_stability,
                                          std::optional<size_t> limit);

}  // namespace vesk
