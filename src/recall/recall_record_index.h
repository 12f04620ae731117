// RecallRecordIndex: what a recall asks of the whole record map, answered
// without walking it.
//
// Three questions come up on every recall: whether the recall's namespaces
// hold any record with a validity window (such recalls bypass the caches),
// which records are at Identity level (the identity block lists them), and
// which records lie in the recall's namespaces (the embedding ranking scores
// only those). The index keeps, per namespace, the ids of its records and
// the number of them whose valid_from or valid_until is set, and the ids of
// the Identity-level records.
//
// It lives beside the record map, under its own lock taken only while the
// record map's lock is held (or alone, for a count), and every writer that
// inserts, replaces or erases a record, or changes a record's namespace,
// level or validity bounds, keeps it in step (note_insert / note_remove /
// note_replace). Writers that change other fields (activation, links, access
// lists, metadata) need not tell it.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/string_hash.h"
#include "model/flat_map.h"
#include "model/record.h"

namespace vesk {

class RecallRecordIndex {
 public:
  void note_insert(const Record& record);
  void note_remove(const Record& record);
  void note_replace(const Record& before, const Record& after);
  void clear();

  // Whether a record of the namespaces (none: the one namespace "default")
  // has valid_from or valid_until set.
  bool has_validity_window_in(const std::optional<std::vector<std::string>>& namespaces) const;

  // The ids of the Identity-level records, in no particular order.
  const StringSet& identity_ids() const { return identity_ids_; }

  // The number of records of the namespaces, each name counted once.
  size_t record_count_in(std::span<const std::string> namespaces) const;
  // Visits the id of every record of the namespaces (each name taken once),
  // namespace by namespace, in no particular order within one.
  void for_each_record_in(std::span<const std::string> namespaces,
                          const std::function<void(const std::string& id)>& visit) const;
  // Whether a record of this one namespace has valid_from or valid_until set.
  bool has_validity_window_in(std::string_view ns) const { return windowed_per_namespace_.contains(ns); }

 private:
  // The record's id in its namespace's set.
  void add_member(const Record& record);
  void remove_member(const Record& record);
  // Its validity window count and Identity entry.
  void add_marks(const Record& record);
  void remove_marks(const Record& record);

  // A set per namespace (the values are unused): its ids lie side by side,
  // so listing a namespace reads them in one sweep.
  StringKeyMap<FlatStringMap<bool>> ids_per_namespace_;
  StringKeyMap<size_t> windowed_per_namespace_;
  StringSet identity_ids_;
};

// An index of every record of the map.
template <class Map>
RecallRecordIndex recall_record_index_from(const Map& records) {
  RecallRecordIndex index;
  for (const auto& entry : records) index.note_insert(entry.second);
  return index;
}

}  // namespace vesk
