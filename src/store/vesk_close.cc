// Vesk::flush and Vesk::close: making what the store accepted durable, and
// ending the store object's hold on its directory.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "store/vesk.h"

namespace vesk {

Status Vesk::flush() {
  // Recall changes records in memory only and notes their ids; they reach
  // the journal here, as one forced batch in id order. The set is taken out
  // so that recalls finishing meanwhile fill a new one.
  StringSet taken_set = recall_.pending_activations.take();
  if (!taken_set.empty()) {
    std::vector<std::string> taken(taken_set.begin(), taken_set.end());
    std::sort(taken.begin(), taken.end());
    auto map = records_.records.read();
    std::vector<Record> batch;
    batch.reserve(taken.size());
    for (const std::string& id : taken) {
      auto it = map->find(id);
      if (it != map->end()) batch.push_back(it->second);  // deleted meanwhile: passed over
    }
    if (Status s = journal_->log_record_batch(batch); !s.ok()) {
      // Pending again, together with whatever recalls added meanwhile.
      recall_.pending_activations.restore(std::move(taken));
      return Status::Runtime("failed to persist recall activation state");
    }
  }
  // Whole-record frames were handed to the file but not forced.
  VESK_RETURN_IF_ERROR(journal_->flush());
  return storage_->flush();
}

Status Vesk::close() {
  // Once closed, a store stays closed: what calls made since changed in
  // memory has nowhere to go, and closing again does nothing.
  if (closed_.load()) return Status::Ok();
  stop_background();
  // The scheduler's passes write the container, not the store, but its
  // thread must not outlive the store object it was started from.
  (void)stop_container_retention_scheduler();
  // A failed flush ends the close with everything still open and usable.
  VESK_RETURN_IF_ERROR(flush());
  // The SDR index is rebuilt from the record log at the next open for any
  // record its files lack, so a failed save loses nothing: the close goes
  // on, and the failure is reported once the store is closed.
  Status saved = indexes_.sdr_index->save();
  // Forces what is left and closes; a failed force leaves the journal open.
  VESK_RETURN_IF_ERROR(journal_->close());
  // The audit journal's last line, while the directory is still ours.
  if (audit_) (void)audit_->close();
  // Flushes again, closes the files and releases the directory lock.
  VESK_RETURN_IF_ERROR(storage_->close());
  closed_.store(true);
  if (!saved.ok()) return Status::Runtime("failed to save the SDR index: " + saved.message());
  return Status::Ok();
}

}  // namespace vesk
