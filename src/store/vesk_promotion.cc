// Promotion by hand and salience marks (write/promotion_rule.h holds the
// rule).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "store/vesk.h"
#include "write/promotion_rule.h"

namespace vesk {
namespace {

// Seconds since the epoch with exactly three decimals.
std::string marked_at(double now) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.3f", now);
  return buf;
}

}  // namespace

std::vector<Record> Vesk::promotion_candidates(std::optional<uint64_t> min_activations,
                                               std::optional<float> min_strength) const {
  const uint64_t activations = min_activations.value_or(kCandidateMinActivations);
  const float strength = min_strength.value_or(kCandidateMinStrength);
  const double now = env_.now_seconds();
  std::vector<const Record*> kept;
  auto records = records_.records.read();
  for (const auto& [id, r] : *records)
    if (promotion_candidate(r, now, activations, strength)) kept.push_back(&r);
  // Ties keep the map's order. Candidates have a strength of at least the
  // minimum, so no NaN reaches the comparison.
  std::stable_sort(kept.begin(), kept.end(), [](const Record* a, const Record* b) {
    if (a->activation_count != b->activation_count) return a->activation_count > b->activation_count;
    return a->strength > b->strength;
  });
  std::vector<Record> out;
  out.reserve(kept.size());
  for (const Record* r : kept) out.push_back(*r);
  return out;
}

std::optional<std::string> Vesk::promotion_block_reason(std::string_view record_id) const {
  const double now = env_.now_seconds();
  auto records = records_.records.read();
  const Record* r = records->find_value(record_id);
  if (!r) return std::nullopt;
  auto reason = vesk::promotion_block_reason(*r, now);
  if (!reason) return std::nullopt;
  return std::string(*reason);
}

Result<std::optional<Level>> Vesk::promote_record(std::string_view record_id) {
  const double now = env_.now_seconds();
  return changes_->apply([&](RecordChanges::Batch& batch) -> Result<std::optional<Level>> {
    const Record* held = batch.find(record_id);
    if (!held || vesk::promotion_block_reason(*held, now)) return std::optional<Level>();
    Record next = *held;
    next.level = next_level(next.level);
    const Level level = next.level;
    if (Status s = batch.replace(std::move(next)); !s.ok()) return s.as(ErrorKind::OS);
    return std::optional<Level>(level);
  });
}

Result<std::optional<Record>> Vesk::mark_record_salience(std::string_view record_id, double salience,
                                                         std::optional<std::string_view> reason) {
  // A NaN would pass the clamp and be journaled as a value the JSON form
  // cannot carry.
  if (std::isnan(salience)) return Status::Runtime("Salience must not be NaN");
  const double now = env_.now_seconds();
  return changes_->apply([&](RecordChanges::Batch& batch) -> Result<std::optional<Record>> {
    const Record* held = batch.find(record_id);
    if (!held) return std::optional<Record>();
    Record next = *held;
    next.salience = static_cast<float>(std::clamp(salience, 0.0, 1.0));
    std::string_view trimmed = reason.value_or("");
    constexpr std::string_view kSpace = " \t\n\r\f\v";
    const size_t first = trimmed.find_first_not_of(kSpace);
    trimmed = first == std::string_view::npos ? std::string_view() : trimmed.substr(first);
    trimmed = trimmed.substr(0, trimmed.find_last_not_of(kSpace) + 1);
    if (trimmed.empty()) {
      next.metadata.erase("salience_reason");
    } else {
      next.metadata.insert_or_assign("salience_reason", std::string(trimmed));
    }
    next.metadata.insert_or_assign("salience_marked_at", marked_at(now));
    Record copy = next;
    if (Status s = batch.replace(std::move(next)); !s.ok()) return s.as(ErrorKind::Runtime);
    return std::optional<Record>(std::move(copy));
  });
}

}  // namespace vesk
