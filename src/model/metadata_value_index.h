// MetadataValueIndex: the records of a record map by the value of a few chosen
// metadata keys.
//
// Some writers need "the first record, in map order, whose metadata `k` is
// `v`" (an audit entity id resolved to its record, a uniqueness check) or
// "every record that holds `k`, in map order" (the audit graph's walk), and
// a walk of the whole map would make each of those linear in the store's
// size. For each key it was built with, the index keeps which records hold
// the key and under which value, so those questions cost the few records
// that match.
//
// It keeps no order of its own: the matching records are put in the map's
// order (RecordMap::order) when asked, so every answer is exactly what a walk
// of the map would give, including which record comes first when several
// share a value. A key the index was not built with is answered by walking
// the map.
//
// The index describes exactly one map: its owner reports every insertion,
// replacement and removal (note_*), or rebuilds it from a map made another
// way (a journal replay). It has no lock; the store keeps it under the record
// map's lock and changes it only in the record-change seam
// (store/record_changes.h).
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/string_hash.h"
#include "model/record.h"
#include "model/record_map.h"

namespace vesk {

class MetadataValueIndex {
 public:
  explicit MetadataValueIndex(std::span<const std::string_view> keys);

  void note_insert(const Record& r);
  void note_replace(const Record& before, const Record& after);
  void note_remove(const Record& r);
  // Forgets everything and indexes every record of `map`.
  void rebuild(const RecordMap& map);

  bool indexes(std::string_view key) const { return table(key) != nullptr; }

  // The records of `map` whose metadata `key` is exactly `value`, in map
  // order.
  std::vector<const Record*> records_with_value(const RecordMap& map, std::string_view key,
                                                std::string_view value) const;
  // The first of them, or null.
  const Record* first_with_value(const RecordMap& map, std::string_view key, std::string_view value) const;
  // The records of `map` that hold `key`, whatever its value, in map order.
  std::vector<const Record*> records_with_key(const RecordMap& map, std::string_view key) const;

 private:
  // One key: its value -> the ids of the records holding it (in no order).
  struct KeyTable {
    std::string key;
    StringKeyMap<std::vector<std::string>> ids_by_value;
  };

  const KeyTable* table(std::string_view key) const;
  void add(const Record& r);
  void remove(const Record& r);

  std::vector<KeyTable> tables_;
};

}  // namespace vesk
