// Structural relation inference after a write (write/structural_relations.h).
//
// Two phases, as a walk of the namespace would run them: the family phase
// links the namespace's user profile and each relative both ways with the
// relative's family relation type (0.95), then the membership phase links
// each member and its project's anchor both ways ("belongs_to_project",
// 0.92). A side already holding exactly that weight and type is left alone,
// so a call with nothing new writes nothing; a side changed since (by
// connect, say) is set back. Each phase runs under the record map's write
// lock (a seam batch) and journals its changed records whole, not forced.
//
// Instead of walking the namespace, each phase asks the structural relation
// index for the pairs whose links may have stopped holding since the
// namespace was last settled (the pairs of the records written since, or of a
// profile or anchor that changed; all of them after an open): every other
// pair held then and still does, so the result, and the order of the records
// journaled, is the one the walk would give. A store costs the same in any
// size of namespace.
#include <string>
#include <utility>
#include <vector>

#include "model/relation_link.h"
#include "store/vesk.h"
#include "write/structural_relations.h"

namespace vesk {
namespace {

// Copies of the records a phase changed, in the order first changed.
class ChangedRecords {
 public:
  // Sets the side `from` -> `to` on the copy of `from`, taken from the map
  // the first time it changes.
  void link(const RecordMap& map, const std::string& from, const std::string& to, std::string_view type,
            float weight) {
    for (Record& r : records_) {
      if (r.id == from) {
        link_relation_edge(r, to, type, weight);
        return;
      }
    }
    const Record* held = map.find_value(from);
    if (!held || holds_relation_edge(*held, to, weight, type)) return;
    Record copy = *held;
    link_relation_edge(copy, to, type, weight);
    records_.push_back(std::move(copy));
  }

  // Journals and puts back every copy; the first journal error ends it.
  Status write(RecordChanges::Batch& batch) {
    std::vector<Record> records = std::move(records_);
    records_.clear();
    for (Record& r : records) VESK_RETURN_IF_ERROR(batch.replace(std::move(r)));
    return Status::Ok();
  }

 private:
  std::vector<Record> records_;
};

}  // namespace

Status Vesk::infer_store_relations(std::string_view namespace_) {
  Status done = changes_->apply([&](RecordChanges::Batch& batch) -> Status {
    ChangedRecords changed;
    std::string profile_id;
    if (const Record* profile = batch.structural().user_profile(batch.map(), namespace_)) {
      profile_id = profile->id;
      for (const auto& [id, type] : batch.structural().unsettled_relatives(namespace_, profile_id)) {
        if (id == profile_id) continue;
        changed.link(batch.map(), profile_id, id, type, kFamilyLinkWeight);
        changed.link(batch.map(), id, profile_id, type, kFamilyLinkWeight);
      }
      VESK_RETURN_IF_ERROR(changed.write(batch));
    }
    for (const auto& [member, anchor] : batch.structural().unsettled_memberships(batch.map(), namespace_)) {
      changed.link(batch.map(), member, anchor, kBelongsToProject, kMembershipLinkWeight);
      changed.link(batch.map(), anchor, member, kBelongsToProject, kMembershipLinkWeight);
    }
    VESK_RETURN_IF_ERROR(changed.write(batch));
    batch.settle_structural(namespace_, profile_id);
    return Status::Ok();
  });
  return done.ok() ? done : done.as(ErrorKind::Runtime);
}

}  // namespace vesk
