// The salience summary: how the records held spread over salience (low below
// 0.3, medium below 0.7, high from 0.7), with the average and the maximum;
// all zeros for an empty store. A NaN salience is counted low and passed
// over by the maximum, which starts at 0.0. Sums are single precision.
//
// The high-salience list: records of salience at least a threshold, most
// salient first, equal or incomparable saliences by `composite_record_score`
// descending, then map order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "model/record.h"
#include "model/record_map.h"

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

// Pure read: the caller holds the record map shared.
SalienceSummary salience_summary(const RecordMap& records);

// 0.4 strength + 0.0625 level + 0.2 min(connections / 50, 1)
// + 0.15 min(activations / 20, 1) + 0.1 salience clamped into [0, 1],
// in single precision.
float composite_record_score(const Record& record);

// The threshold of the high-salience list: 0.5 when none, clamped into
// [0, 1] (a NaN stays NaN and selects nothing).
float high_salience_threshold(std::optional<float> min_salience);
// The list's length: 20 when none, at most 100.
size_t high_salience_limit(std::optional<size_t> limit);
// Copies of the records at or above the threshold, in map order (the
// caller holds the record map shared; only the selected records are copied).
std::vector<Record> select_salient_records(const RecordMap& records, float threshold);
// Orders the selection as the list gives it and cuts it to `keep`; needs no
// lock.
void rank_salient_records(std::vector<Record>& records, size_t keep);

}  // namespace vesk
