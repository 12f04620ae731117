#include "model/metadata_value_index.h"

#include <algorithm>
#include <utility>

namespace vesk {
namespace {

// The ids' records in the map's order; ids the map does not hold are left out.
template <class Ids>
std::vector<const Record*> in_map_order(const RecordMap& map, const Ids& ids) {
  std::vector<std::pair<size_t, const Record*>> ranked;
  ranked.reserve(ids.size());
  for (std::string_view id : ids) {
    auto it = map.find(id);
    if (it != map.end()) ranked.emplace_back(map.order(it), &it->second);
  }
  std::sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<const Record*> out;
  out.reserve(ranked.size());
  for (const auto& [rank, record] : ranked) out.push_back(record);
  return out;
}

}  // namespace

MetadataValueIndex::MetadataValueIndex(std::span<const std::string_view> keys) {
  for (std::string_view key : keys) {
    if (!table(key)) tables_.push_back(KeyTable{std::string(key), {}});
  }
}

const MetadataValueIndex::KeyTable* MetadataValueIndex::table(std::string_view key) const {
  for (const KeyTable& t : tables_)
    if (t.key == key) return &t;
  return nullptr;
}

void MetadataValueIndex::add(const Record& r) {
  for (KeyTable& t : tables_) {
    auto it = r.metadata.find(t.key);
    if (it != r.metadata.end()) t.ids_by_value[it->second].push_back(r.id);
  }
}

void MetadataValueIndex::remove(const Record& r) {
  for (KeyTable& t : tables_) {
    auto it = r.metadata.find(t.key);
    if (it == r.metadata.end()) continue;
    auto held = t.ids_by_value.find(it->second);
    if (held == t.ids_by_value.end()) continue;
    std::vector<std::string>& ids = held->second;
    auto pos = std::find(ids.begin(), ids.end(), r.id);
    if (pos != ids.end()) {
      *pos = std::move(ids.back());
      ids.pop_back();
    }
    if (ids.empty()) t.ids_by_value.erase(held);
  }
}

void MetadataValueIndex::note_insert(const Record& r) { add(r); }

void MetadataValueIndex::note_replace(const Record& before, const Record& after) {
  // Most replacements leave the indexed values alone (a recall's bookkeeping,
  // a content edit): nothing to do then.
  bool same = before.id == after.id;
  for (const KeyTable& t : tables_) {
    if (!same) break;
    auto a = before.metadata.find(t.key), b = after.metadata.find(t.key);
    const bool has_a = a != before.metadata.end(), has_b = b != after.metadata.end();
    same = has_a == has_b && (!has_a || a->second == b->second);
  }
  if (same) return;
  remove(before);
  add(after);
}

void MetadataValueIndex::note_remove(const Record& r) { remove(r); }

void MetadataValueIndex::rebuild(const RecordMap& map) {
  for (KeyTable& t : tables_) t.ids_by_value.clear();
  for (const auto& [id, r] : map) add(r);
}

std::vector<const Record*> MetadataValueIndex::records_with_value(const RecordMap& map, std::string_view key,
                                                                  std::string_view value) const {
  const KeyTable* t = table(key);
  if (!t) {
    std::vector<const Record*> out;
    for (const auto& [id, r] : map) {
      auto it = r.metadata.find(key);
      if (it != r.metadata.end() && it->second == value) out.push_back(&r);
    }
    return out;
  }
  auto held = t->ids_by_value.find(value);
  if (held == t->ids_by_value.end()) return {};
  return in_map_order(map, held->second);
}

const Record* MetadataValueIndex::first_with_value(const RecordMap& map, std::string_view key,
                                                   std::string_view value) const {
  const KeyTable* t = table(key);
  if (!t) {
    for (const auto& [id, r] : map) {
      auto it = r.metadata.find(key);
      if (it != r.metadata.end() && it->second == value) return &r;
    }
    return nullptr;
  }
  auto held = t->ids_by_value.find(value);
  if (held == t->ids_by_value.end()) return nullptr;
  const Record* first = nullptr;
  size_t first_rank = 0;
  for (const std::string& id : held->second) {
    auto it = map.find(id);
    if (it == map.end()) continue;
    const size_t rank = map.order(it);
    if (!first || rank < first_rank) {
      first = &it->second;
      first_rank = rank;
    }
  }
  return first;
}

std::vector<const Record*> MetadataValueIndex::records_with_key(const RecordMap& map, std::string_view key) const {
  const KeyTable* t = table(key);
  if (!t) {
    std::vector<const Record*> out;
    for (const auto& [id, r] : map)
      if (r.metadata.contains(key)) out.push_back(&r);
    return out;
  }
  std::vector<std::string_view> ids;
  for (const auto& [value, holders] : t->ids_by_value) ids.insert(ids.end(), holders.begin(), holders.end());
  return in_map_order(map, ids);
}

}  // namespace vesk
