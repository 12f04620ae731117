// The store's access-control operations: writing a record's allow lists and
// asking whether a subject may read a record (the decision itself is
// record_access_allowed, model/record_access.h).
#include <utility>

#include "store/vesk.h"

namespace vesk {

Result<std::optional<Record>> Vesk::set_record_acl(std::string_view record_id, const RecordAclChange& change) {
  // The rule is checked on an empty map first, so a refused visibility is
  // reported even for an unknown id, before any lock.
  StringMap probe;
  VESK_RETURN_IF_ERROR(apply_record_acl(probe, change));
  return changes_->apply([&](RecordChanges::Batch& batch) -> Result<std::optional<Record>> {
    const Record* held = batch.find(record_id);
    if (!held) return std::optional<Record>();
    Record next = *held;
    VESK_RETURN_IF_ERROR(apply_record_acl(next.metadata, change));
    Record copy = next;
    if (Status s = batch.replace(std::move(next)); !s.ok()) return s.as(ErrorKind::Runtime);
    return std::optional<Record>(std::move(copy));
  });
}

std::optional<AccessDecision> Vesk::check_record_access(std::string_view record_id,
                                                        const AccessRequest& subject) const {
  auto records = records_.records.read();
  auto it = records->find(record_id);
  if (it == records->end()) return std::nullopt;
  return record_access_allowed(it->second, subject);
}

}  // namespace vesk
