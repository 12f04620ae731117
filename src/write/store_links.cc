#include "write/store_links.h"

#include <algorithm>
#include <unordered_set>

#include "base/string_hash.h"

namespace vesk {

void BackLinks::set(std::string_view record_id, float weight, std::string_view relation) {
  TypedConnectionPatch link{new_id_, weight, std::string(relation)};
  for (RecordPatch& p : patches_) {
    if (p.record_id == record_id) {
      p.connections.front() = std::move(link);
      return;
    }
  }
  RecordPatch p;
  p.record_id = std::string(record_id);
  p.connections.push_back(std::move(link));
  patches_.push_back(std::move(p));
}

size_t BackLinks::connection_count(const Record& held) const {
  size_t n = held.connections.size();
  if (held.connections.contains(new_id_)) return n;
  for (const RecordPatch& p : patches_)
    if (p.record_id == held.id) return n + 1;
  return n;
}

void link_causal_parent(Record& record, const RecordMap& map, BackLinks& back) {
  if (!record.caused_by_id) return;
  const std::string& parent = *record.caused_by_id;
  if (map.contains(parent)) back.set(parent, kCausalLinkWeight, kCausalRelation);
  record.set_connection(parent, kCausalLinkWeight, kCausalRelation);
}

void link_associative_records(Record& record, const TagIndex& tags, const RecordMap& map, BackLinks& back) {
  if (record.tags.empty()) return;
  // Ids of the index, valid while its lock is held.
  std::unordered_set<std::string_view, StringHash, StringEq> visited;
  bool full = false;
  for (const std::string& tag : record.tags) {
    tags.visit_ids_with(tag, [&](std::string_view id) {
      if (id == record.id || !visited.insert(id).second) return true;
      if (record.connections.size() >= kMaxConnections) {
        full = true;
        return false;
      }
      const Record* held = map.find_value(id);
      if (held && held->namespace_ != record.namespace_) return true;
      int count = 0;
      for (const std::string& t : record.tags) count += tags.holds(id, t) ? 1 : 0;
      const float weight = std::min(0.2f + 0.15f * static_cast<float>(count), 0.8f);
      record.set_connection(id, weight, kAssociativeRelation);
      if (held && back.connection_count(*held) < kMaxConnections) back.set(id, weight, kAssociativeRelation);
      return true;
    });
    if (full) return;
  }
}

void apply_back_links(RecordMap& map, const std::vector<RecordPatch>& patches) {
  for (const RecordPatch& p : patches) {
    Record* held = map.find_value(p.record_id);
    if (!held) continue;
    for (const TypedConnectionPatch& c : p.connections) held->set_connection(c.target_id, c.weight, c.relation);
  }
}

}  // namespace vesk
