#include "recall/recall_record_index.h"

#include <algorithm>

namespace vesk {
namespace {

bool has_window(const Record& r) { return r.valid_from.has_value() || r.valid_until.has_value(); }

// Calls f once for each distinct name of the list (lists are short).
template <class F>
void for_each_distinct(std::span<const std::string> names, F&& f) {
  for (size_t i = 0; i < names.size(); ++i)
    if (std::find(names.begin(), names.begin() + static_cast<ptrdiff_t>(i), names[i]) ==
        names.begin() + static_cast<ptrdiff_t>(i))
      f(names[i]);
}

}  // namespace

void RecallRecordIndex::note_insert(const Record& record) {
  add_member(record);
  add_marks(record);
}

void RecallRecordIndex::note_remove(const Record& record) {
  remove_member(record);
  remove_marks(record);
}

void RecallRecordIndex::note_replace(const Record& before, const Record& after) {
  // A record that stays in its namespace keeps its entry there.
  if (before.namespace_ != after.namespace_ || before.id != after.id) {
    remove_member(before);
    add_member(after);
  }
  remove_marks(before);
  add_marks(after);
}

void RecallRecordIndex::add_member(const Record& record) {
  ids_per_namespace_[record.namespace_].insert_or_assign(record.id, true);
}

void RecallRecordIndex::remove_member(const Record& record) {
  auto it = ids_per_namespace_.find(record.namespace_);
  if (it == ids_per_namespace_.end()) return;
  it->second.erase(record.id);
  if (it->second.empty()) ids_per_namespace_.erase(it);
}

void RecallRecordIndex::add_marks(const Record& record) {
  if (has_window(record)) ++windowed_per_namespace_[record.namespace_];
  if (record.level == Level::Identity) identity_ids_.insert(record.id);
}

void RecallRecordIndex::remove_marks(const Record& record) {
  if (has_window(record)) {
    auto it = windowed_per_namespace_.find(record.namespace_);
    if (it != windowed_per_namespace_.end() && --it->second == 0) windowed_per_namespace_.erase(it);
  }
  if (record.level == Level::Identity) identity_ids_.erase(record.id);
}

void RecallRecordIndex::clear() {
  ids_per_namespace_.clear();
  windowed_per_namespace_.clear();
  identity_ids_.clear();
}

bool RecallRecordIndex::has_validity_window_in(const std::optional<std::vector<std::string>>& namespaces) const {
  if (!namespaces) return windowed_per_namespace_.contains(std::string_view("default"));
  for (const std::string& ns : *namespaces)
    if (windowed_per_namespace_.contains(ns)) return true;
  return false;
}

size_t RecallRecordIndex::record_count_in(std::span<const std::string> namespaces) const {
  size_t count = 0;
  for_each_distinct(namespaces, [&](const std::string& ns) {
    if (auto it = ids_per_namespace_.find(ns); it != ids_per_namespace_.end()) count += it->second.size();
  });
  return count;
}

void RecallRecordIndex::for_each_record_in(std::span<const std::string> namespaces,
                                           const std::function<void(const std::string& id)>& visit) const {
  for_each_distinct(namespaces, [&](const std::string& ns) {
    if (auto it = ids_per_namespace_.find(ns); it != ids_per_namespace_.end())
      for (const auto& entry : it->second) visit(entry.first);
  });
}

}  // namespace vesk
