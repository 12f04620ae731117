// Marks a caller sets on one record without touching its text: the validity
// window and the usefulness verdicts. Each is one whole-record replacement
// through the seam, journaled as a full-record frame, not forced; nothing
// that indexes the record's text or tags changes.
#include <utility>

#include "base/trace.h"
#include "store/vesk.h"
#include "write/record_update.h"

namespace vesk {

Result<Record> Vesk::set_temporal_validity(std::string_view record_id, std::optional<double> valid_from,
                                           std::optional<double> valid_until) {
  Result<Record> done = changes_->apply([&](RecordChanges::Batch& batch) -> Result<Record> {
    const Record* held = batch.find(record_id);
    if (!held) return Status::Value("Record '" + std::string(record_id) + "' not found");
    VESK_RETURN_IF_ERROR(validate_validity_window(valid_from, valid_until));
    Record next = *held;
    next.valid_from = valid_from;
    next.valid_until = valid_until;
    Record copy = next;
    VESK_RETURN_IF_ERROR(batch.replace(std::move(next)));
    return copy;
  });
  return done.ok() ? done : Result<Record>(done.status().as(ErrorKind::Value));
}

Result<bool> Vesk::feedback(std::string_view record_id, bool useful) {
  VESK_SPAN(span, "feedback", "vesk::vesk", trace::Level::Info, trace::field("record_id", record_id),
            trace::field("useful", useful));
  const double now = env_.now_seconds();
  Result<bool> done = changes_->apply([&](RecordChanges::Batch& batch) -> Result<bool> {
    const Record* held = batch.find(record_id);
    if (!held) return false;
    Record next = *held;
    apply_feedback(next, useful, now);
    VESK_RETURN_IF_ERROR(batch.replace(std::move(next)));
    return true;
  });
  return done.ok() ? done : Result<bool>(done.status().as(ErrorKind::Runtime));
}

std::optional<std::tuple<uint32_t, uint32_t, int32_t>> Vesk::feedback_stats(std::string_view record_id) const {
  auto map = records_.records.read();
  const Record* r = map->find_value(record_id);
  if (!r) return std::nullopt;
  const uint32_t positive = read_feedback_counter(r->metadata, kFeedbackPositiveKey);
  const uint32_t negative = read_feedback_counter(r->metadata, kFeedbackNegativeKey);
  // The difference wraps as a signed 32-bit number does.
  const int32_t net = static_cast<int32_t>(positive - negative);
  return std::tuple(positive, negative, net);
}

}  // namespace vesk
