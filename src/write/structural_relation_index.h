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
// It also keeps, per namespace, what changed since the namespace's links were
// last settled (settle()): the role-playing records inserted or changed, the
// projects whose anchors changed and whether the profiles changed. Once an
// inference has linked every pair, a pair can fail to hold again only through
// a change of one of its records or of the profile or anchor it names, so the
// unsettled_ lists below name every pair that can need a write: an inference
// over them writes exactly what one over all pairs would, in the same order.
// A rebuild leaves every namespace wholly unsettled.
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
  // `r`, held in the map, may have had its links changed in place.
  void note_links_changed(const Record& r);
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

  // The subsequence of relatives(namespace_) whose family links to the
  // profile `profile_id` may not hold since the namespace was last settled.
  std::vector<std::pair<std::string, std::string>> unsettled_relatives(std::string_view namespace_,
                                                                       std::string_view profile_id) const;
  // The subsequence of memberships(map, namespace_) whose links may not hold
  // since the namespace was last settled.
  std::vector<std::pair<std::string, std::string>> unsettled_memberships(const RecordMap& map,
                                                                         std::string_view namespace_) const;
  // Every pair of the namespace holds its links, `profile_id` (or none)
  // being its profile: forgets its changes. A profile that is also an anchor
  // or a member can have one pair in both phases, whose later type wins on
  // every call: its relatives and its project stay unsettled.
  void settle(std::string_view namespace_, std::string_view profile_id);

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

  // What changed in a namespace since it was last settled.
  struct Pending {
    bool all = false;      // nothing is known to hold
    bool profiles = false;  // a profile candidate came, went or changed
    StringSet touched;     // role-playing records inserted or changed
    StringSet projects;    // projects whose anchors came, went or changed
  };

  void add(const std::string& id, Entry entry);
  void drop(std::string_view id);
  void touch(const std::string& id, const Entry& entry);
  // The last anchor in map order of the project, or map.end().
  RecordMap::const_iterator last_anchor(const RecordMap& map, const StringSet& anchor_ids) const;

  StringKeyMap<Namespace> namespaces_;
  // Only records that play some role.
  StringKeyMap<Entry> entries_;
  StringKeyMap<Pending> pending_;
};

}  // namespace vesk
