// Vesk::reflect: the reflection pass on request, whatever the maintenance
// configuration says (maintenance/reflection_pass.h).
//
// Locks: the taxonomy is copied and let go; the record map's write lock is
// held from the copy of the map to the journal batch (inside the seam), so a
// reader never sees half a pass; the index refresh and the caches come after.
#include <string>
#include <vector>

#include "base/trace.h"
#include "maintenance/reflection_pass.h"
#include "store/vesk.h"

namespace vesk {

Result<StringKeyMap<uint64_t>> Vesk::reflect() {
  VESK_SPAN(span, "reflect", "vesk::maintenance", trace::Level::Info);
  const TagTaxonomy taxonomy = config_.taxonomy();
  const double now = env_.now_seconds();
  ReflectionPass pass;
  Status written = changes_->apply([&](RecordChanges::Batch& batch) {
    return batch.rewrite_all(
        [&](RecordMap& records) {
          pass = run_reflection_pass(records, taxonomy.archive_protected_tags, now);
          return pass.reflection.archived;
        },
        /*journal_removals=*/true);
  });
  if (!written.ok()) return Status::Runtime(written.message());
  refresh_indexes_after_maintenance(pass.reflection.archived);
  clear_recall_caches();

  const ReflectReport& r = pass.reflection.report;
  return StringKeyMap<uint64_t>{
      {"promoted", r.promoted},
      {"archived", r.archived},
      {"promotion_blocked_conflict", r.blocked_conflict},
      {"promotion_blocked_volatility", r.blocked_volatility},
      {"promotion_blocked_identity_threshold", r.blocked_identity_threshold},
      {"epistemic_records_updated", pass.epistemic.updated_records},
  };
}

}  // namespace vesk
