// Vesk::decay and Vesk::decay_by_route_state: the two decays on request,
// outside the maintenance cycle (maintenance/decay_passes.h).
//
// Locks: the taxonomy is copied and let go; the record map's write lock is
// held for the pass and its journal batch (inside the seam); then, one at a
// time, the index locks of the refresh, the recall caches and, for decay(),
// the journal writer for the compaction.
#include <string>
#include <utility>
#include <vector>

#include "base/trace.h"
#include "maintenance/decay_passes.h"
#include "store/vesk.h"

namespace vesk {
namespace {

// Above this many archivals in one decay() the journal is rewritten, one
// frame per durable record, so that it does not grow without bound.
constexpr size_t kCompactionThreshold = 100;

}  // namespace

Result<std::pair<uint64_t, uint64_t>> Vesk::decay() {
  VESK_SPAN(span, "decay", "vesk::maintenance", trace::Level::Info);
  const TagTaxonomy taxonomy = config_.taxonomy();
  DecayPass pass;
  Status written = changes_->apply([&](RecordChanges::Batch& batch) {
    return batch.rewrite_all(
        [&](RecordMap& records) {
          pass = decay_by_level(records, taxonomy.archive_protected_tags);
          return pass.removed;
        },
        /*journal_removals=*/true);
  });
  if (!written.ok()) return Status::Runtime(written.message());
  refresh_indexes_after_maintenance(pass.removed);
  clear_recall_caches();
  if (pass.removed.size() > kCompactionThreshold) {
    // The rewrite reads the durable state, not the map: records the journal
    // holds but memory does not (demoted, cold) are kept.
    if (auto compacted = journal_->compact_cognitive_store(); !compacted.ok()) {
      return Status::Runtime(compacted.status().message());
    }
  }
  return std::pair<uint64_t, uint64_t>{pass.decayed, pass.removed.size()};
}

Result<std::pair<uint64_t, uint64_t>> Vesk::decay_by_route_state() {
  const TagTaxonomy taxonomy = config_.taxonomy();
  DecayPass pass;
  Status written = changes_->apply([&](RecordChanges::Batch& batch) {
    return batch.rewrite_all(
        [&](RecordMap& records) {
          pass = decay_by_route(records, taxonomy.archive_protected_tags);
          return pass.removed;
        },
        /*journal_removals=*/false);
  });
  if (!written.ok()) return Status::Runtime(written.message());
  // A demoted record's journalled strength predates this call, so the next
  // open usually loads it again: its stored embedding must still be there.
  refresh_indexes_after_maintenance(pass.removed, /*keep_embeddings=*/true);
  clear_recall_caches();
  return std::pair<uint64_t, uint64_t>{pass.decayed, pass.removed.size()};
}

}  // namespace vesk
