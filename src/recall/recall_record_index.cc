#include "recall/recall_record_index.h"

namespace vesk {
namespace {

bool has_window(const Record& r) { return r.valid_from.has_value() || r.valid_until.has_value(); }

}  // namespace

void RecallRecordIndex::note_insert(const Record& record) {
  if (has_window(record)) ++windowed_per_namespace_[record.namespace_];
  if (record.level == Level::Identity) identity_ids_.insert(record.id);
}

void RecallRecordIndex::note_remove(const Record& record) {
  if (has_window(record)) {
    auto it = windowed_per_namespace_.find(record.namespace_);
    if (it != windowed_per_namespace_.end() && --it->second == 0) windowed_per_namespace_.erase(it);
  }
  if (record.level == Level::Identity) identity_ids_.erase(record.id);
}

void RecallRecordIndex::note_replace(const Record& before, const Record& after) {
  note_remove(before);
  note_insert(after);
}

void RecallRecordIndex::clear() {
  windowed_per_namespace_.clear();
  identity_ids_.clear();
}

bool RecallRecordIndex::has_validity_window_in(const std::optional<std::vector<std::string>>& namespaces) const {
  if (!namespaces) return windowed_per_namespace_.contains(std::string_view("default"));
  for (const std::string& ns : *namespaces)
    if (windowed_per_namespace_.contains(ns)) return true;
  return false;
}

}  // namespace vesk
