// Vesk::snapshot, Vesk::rollback and Vesk::diff: labelled snapshot files
// beside the store directory (storage/labelled_snapshot.h).
#include <utility>

#include "base/trace.h"
#include "storage/atomic_file.h"
#include "storage/snapshot_files.h"
#include "store/vesk.h"

namespace vesk {

Result<fs::path> Vesk::snapshot(std::string_view label) {
  VESK_SPAN(span, "snapshot", "vesk::vesk", trace::Level::Info, trace::field("label", label));
  VESK_RETURN_IF_ERROR(check_snapshot_label(label));
  VESK_RETURN_IF_ERROR(flush());
  const fs::path path = snapshot_path(path_, label);
  // The read lock is held until the file is in place, so the file shows one
  // state of the records and no writer changes them meanwhile.
  auto records = records_.records.read();
  VESK_RETURN_IF_ERROR(write_file_atomic(key_.get(), path, labelled_snapshot_json(*records), env_));
  return path;
}

Result<uint64_t> Vesk::rollback(std::string_view label) {
  VESK_SPAN(span, "rollback", "vesk::vesk", trace::Level::Info, trace::field("label", label));
  // Read and parsed before any lock is taken: a bad file changes nothing.
  Result<std::vector<Record>> entries = read_labelled_snapshot(key_.get(), path_, label, env_);
  if (!entries.ok()) return entries.status();
  const uint64_t count = entries->size();
  changes_->restore_all(std::move(entries).value());
  return count;
}

Result<SnapshotDiff> Vesk::diff(std::string_view label_a, std::string_view label_b) const {
  Result<std::vector<Record>> a = read_labelled_snapshot(key_.get(), path_, label_a, env_);
  if (!a.ok()) return a.status();
  Result<std::vector<Record>> b = read_labelled_snapshot(key_.get(), path_, label_b, env_);
  if (!b.ok()) return b.status();
  return diff_snapshots(snapshot_records_by_id(std::move(a).value()), snapshot_records_by_id(std::move(b).value()));
}

}  // namespace vesk
