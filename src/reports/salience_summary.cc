// The salience summary and the high-salience list.
#include "reports/salience_summary.h"

#include <algorithm>
#include <cmath>

#include "base/merge_sort.h"
#include "model/level.h"

namespace vesk {
namespace {

constexpr float kHighSalience = 0.7f;
constexpr float kMediumSalience = 0.3f;

}  // namespace

SalienceSummary salience_summary(const RecordMap& records) {
  SalienceSummary s;
  if (records.empty()) return s;
  float sum = 0.0f, max = 0.0f;
  for (const auto& [id, r] : records) {
    ++s.total_records;
    sum += r.salience;
    if (r.salience > max) max = r.salience;
    if (r.salience >= kHighSalience) {
      ++s.bands.high;
      ++s.high_salience_count;
    } else if (r.salience >= kMediumSalience) {
      ++s.bands.medium;
    } else {
      ++s.bands.low;
    }
  }
  s.avg_salience = sum / static_cast<float>(s.total_records);
  s.max_salience = max;
  return s;
}

float composite_record_score(const Record& r) {
  const float connections = std::min(static_cast<float>(r.connections.size()) / 50.0f, 1.0f);
  const float activations = std::min(static_cast<float>(r.activation_count) / 20.0f, 1.0f);
  const float salience = std::min(std::max(r.salience, 0.0f), 1.0f);
  return 0.4f * r.strength + 0.0625f * static_cast<float>(level_value(r.level)) + 0.2f * connections +
         0.15f * activations + 0.1f * salience;
}

float high_salience_threshold(std::optional<float> min_salience) {
  return std::clamp(min_salience.value_or(0.5f), 0.0f, 1.0f);
}

size_t high_salience_limit(std::optional<size_t> limit) { return limit ? std::min<size_t>(*limit, 100) : 20; }

std::vector<Record> select_salient_records(const RecordMap& records, float threshold) {
  std::vector<Record> out;
  for (const auto& [id, r] : records)
    if (r.salience >= threshold) out.push_back(r);
  return out;
}

void rank_salient_records(std::vector<Record>& records, size_t keep) {
  std::vector<float> scores;
  scores.reserve(records.size());
  for (const Record& r : records) scores.push_back(composite_record_score(r));
  // Sort indices, not records: a record is large and the merge moves often.
  std::vector<size_t> order(records.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  merge_sort(order, [&](size_t a, size_t b) {
    const float sa = records[a].salience, sb = records[b].salience;
    if (sa > sb) return true;
    if (sb > sa) return false;
    return scores[a] > scores[b];
  });
  if (order.size() > keep) order.resize(keep);
  std::vector<Record> ranked;
  ranked.reserve(order.size());
  for (size_t i : order) ranked.push_back(std::move(records[i]));
  records = std::move(ranked);
}

}  // namespace vesk
