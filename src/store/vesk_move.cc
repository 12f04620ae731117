// Vesk::move_record: one record into another namespace, with the links that
// would then cross namespaces cut on both sides.
#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>

#include <utility>
#include <vector>

#include "store/vesk.h"

namespace vesk {
namespace {

// Removes the link from `r` to `target` (weight and relation type).
void cut_link(Record& r, const std::string& target) {
  r.connections.erase(target);
  r.connection_types.erase(target);
}

// The ids, in map order, of the records other than `moved_id` that lie in
// `old_namespace` and link to `moved_id`: the records a move leaves behind
// holding a link into another namespace. One pass over the map, split over
// the thread pool (the map is only read).
std::vector<std::string> collect_old_namespace_linkers(const RecordMap& map, const std::string& moved_id,
                                                       const std::string& old_namespace) {
  std::vector<const Record*> all;
  all.reserve(map.size());
  for (const auto& entry : map) all.push_back(&entry.second);
  std::vector<char> links(all.size(), 0);
  // Isolated: the caller holds the record map's lock, so while it waits it
  // must take on no other work of the pool (a maintenance phase).
  tbb::this_task_arena::isolate([&] {
    tbb::parallel_for(tbb::blocked_range<size_t>(0, all.size(), 1024), [&](const tbb::blocked_range<size_t>& range) {
      for (size_t i = range.begin(); i != range.end(); ++i) {
        const Record& r = *all[i];
        links[i] = !r.connections.empty() && r.namespace_ == old_namespace && r.id != moved_id &&
                   r.connections.contains(moved_id);
      }
    });
  });
  std::vector<std::string> out;
  for (size_t i = 0; i < all.size(); ++i)
    if (links[i]) out.push_back(all[i]->id);
  return out;
}

}  // namespace

Result<std::optional<Record>> Vesk::move_record(std::string_view record_id, std::string_view new_namespace) {
  if (Status valid = validate_namespace(new_namespace); !valid.ok()) return valid.as(ErrorKind::OS);
  return changes_->apply([&](RecordChanges::Batch& batch) -> Result<std::optional<Record>> {
    const Record* held = batch.find(record_id);
    if (!held) return std::optional<Record>();
    // Already there: every link it has stays legal, so nothing is written
    // (cutting as for a real move would drop links inside its own namespace).
    if (held->namespace_ == new_namespace) return std::optional<Record>(*held);

    // Staged on copies of the moved record and of the records that link to
    // it, not of the whole map: the forced batch lands before any of them
    // replaces its held record, so a failed write leaves the map as it was.
    const std::string old_namespace = held->namespace_;
    Record moved = *held;
    moved.namespace_ = std::string(new_namespace);
    std::vector<std::string> cut;
    for (const auto& [target, weight] : moved.connections) {
      const Record* t = batch.find(target);
      // A target the store no longer holds is left alone.
      if (t && t->namespace_ != new_namespace) cut.push_back(target);
    }
    for (const std::string& target : cut) cut_link(moved, target);

    std::vector<Record> staged;
    staged.push_back(std::move(moved));
    for (const std::string& id : collect_old_namespace_linkers(batch.map(), staged.front().id, old_namespace)) {
      Record linker = *batch.find(id);
      cut_link(linker, staged.front().id);
      staged.push_back(std::move(linker));
    }
    const std::string id = staged.front().id;
    if (Status s = batch.replace_together(std::move(staged)); !s.ok()) return s.as(ErrorKind::OS);
    return std::optional<Record>(*batch.find(id));
  });
}

}  // namespace vesk
