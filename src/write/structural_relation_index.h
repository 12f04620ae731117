// StructuralRelationIndex: the records of each namespace that the structural
// relation inference (write/structural_relations.h) links, kept so that an
// inference visits those records only instead of walking the namespace.
//
// Per namespace it keeps the user profile candidates, the relatives with
// their family relation (computed once per version of a record, when it is
// stored, changed or loaded), the project anchors by project id and the
// possible members by project id. Like the metadata value index it keeps no
// order of its own: the answers that depend on map order (the first profile,
// the later of two anchors of one project) are settled by RecordMap::order,
// so every answer is what a walk of the map in order would give.
//
// It describes exactly one map: its owner reports every insertion,
// replacement and removal, or rebuilds it from a map made another way. No
// lock of its own; the store keeps it under the record map's lock and changes
// it only in the record-change seam (store/record_changes.h).
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/string_hash.h"
#include "model/record.h"
#include "model/record_map.h"
#include "write/structural_relations.h"

namespace vesk {

class StructuralRelationIndex {
 public:
  void note_insert(const Record& r);
  void note_replace(const Record& before, const Record& after);
  void note_remove(const Record& r);
  // Forgets everything and indexes every record of `map`.
  void rebuild(const RecordMap& map);

  // The first record of the namespace in map order tagged "user-profile", or
  // null.
  const Record* user_profile(const RecordMap& map, std::string_view namespace_) const;
  // The first record of any namespace in map order tagged "user-profile", or
  // null.
  const Record* first_user_profile(const RecordMap& map) const;
  // (record id, family relation type) of every record of the namespace with
  // a family relation, in no particular order.
  std::vector<std::pair<std::string, std::string>> relatives(std::string_view namespace_) const;
  // (member id, anchor id) of every member of the namespace: the anchor is
  // the one of its project id met last in map order.
  std::vector<std::pair<std::string, std::string>> memberships(const RecordMap& map,
                                                               std::string_view namespace_) const;

 private:
  struct Namespace {
    StringSet profiles;
    StringMap relatives;              // id -> family relation type
    StringKeyMap<StringSet> anchors;  // project id -> anchor ids
    StringKeyMap<StringSet> members;  // project id -> member ids
    bool empty() const { return profiles.empty() && relatives.empty() && anchors.empty() && members.empty(); }
  };
  struct Entry {
    std::string namespace_;
    StructuralRoles roles;
  };

  void add(const std::string& id, Entry entry);
  void drop(std::string_view id);

  StringKeyMap<Namespace> namespaces_;
  // Only records that play some role.
  StringKeyMap<Entry> entries_;
};

}  // namespace vesk
