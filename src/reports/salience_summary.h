// The salience summary: how the records held spread over salience (low below
// 0.3, medium below 0.7, high from 0.7), with the average and the maximum;
// all zeros for an empty store.
#pragma once

#include <cstdint>

namespace vesk {

// Records counted by salience band.
struct SalienceBands {
  uint64_t low = 0;
  uint64_t medium = 0;
  uint64_t high = 0;

  bool operator==(const SalienceBands&) const = default;
};

struct SalienceSummary {
  uint64_t total_records = 0;
  uint64_t high_salience_count = 0;  // salience at least 0.7
  double avg_salience = 0.0;
  double max_salience = 0.0;
  SalienceBands bands;

  bool operator==(const SalienceSummary&) const = default;
};

}  // namespace vesk
