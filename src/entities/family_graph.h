// The family graph: the people who matter to the user, kept as ordinary
// records and tied to the user's profile record (the family anchor) by typed
// connections whose relation type begins with "family.".
//
// Nothing is stored beside the records: a graph is read back on each call
// from the anchor's own typed connections. Only the direction anchor->person
// counts, and a connection whose target record is gone gives no member. The
// links themselves are written by the store road's structural relation
// inference (write/structural_relations.h) after every store and update.
//
// These functions read a record map the caller holds locked (shared is
// enough) and cost the anchor's connections, never a walk of the map.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/string_hash.h"
#include "model/record.h"
#include "model/record_map.h"

namespace vesk {

// The tag of the user-profile record, the family anchor of its namespace.
inline constexpr std::string_view kFamilyAnchorTag = "user-profile";
// The tag of every person record stored through the family memory.
inline constexpr std::string_view kFamilyPersonTag = "family";
// Metadata keys written on a person record.
inline constexpr std::string_view kPersonRelationKey = "family_relation";
inline constexpr std::string_view kPersonEntityIdKey = "entity_id";
inline constexpr std::string_view kPersonProfileKey = "profile_record_id";
inline constexpr std::string_view kPersonNameKey = "name";

struct FamilyRelationMember {
  std::string record_id;
  std::string relation_type;
  double weight = 0.0;  // the anchor's 32-bit connection weight, 0.0 when none
  std::vector<std::string> tags;
  std::string content;

  bool operator==(const FamilyRelationMember&) const = default;
};

struct FamilyGraphSnapshot {
  std::string namespace_;
  std::string profile_record_id;
  uint64_t relation_count = 0;
  StringKeyMap<uint64_t> relation_types;
  // By relation type, then record id (bytes); never two rows of one id.
  std::vector<FamilyRelationMember> members;

  bool operator==(const FamilyGraphSnapshot&) const = default;
};

struct PersonDigest {
  std::string namespace_;
  std::string profile_record_id;
  std::string person_record_id;
  std::string relation_type;
  double weight = 0.0;
  std::vector<std::string> person_tags;
  std::string person_content;

  bool operator==(const PersonDigest&) const = default;
};

// A family relation type: at least 7 bytes, the first exactly "family."
// (case-sensitive); "family." alone is one.
bool is_family_relation_type(std::string_view relation_type);

// The slug of a person's name: the text lower-cased by the full Unicode
// mapping, ASCII letters and digits kept, every maximal run of anything else
// turned into one "-", leading and trailing "-" removed. May be empty (a
// name in Greek letters only).
std::string person_slug(std::string_view text);

// The metadata of a new person record: the caller's map with
// "family_relation" set to the type; "entity_id" kept when the caller's is
// not blank, else "person:{type}:{slug}" when the slug (of a non-blank
// "name", else of the content) is not empty; "profile_record_id" set to the
// anchor's id when there is an anchor.
StringMap family_person_metadata(std::string_view relation_type, std::string_view content, StringMap metadata,
                                 std::optional<std::string_view> anchor_id);

// The graph around `anchor`, a record of `map`: one member per entry of the
// anchor's connection types that is a family relation type and whose target
// is a record of `map`, in any namespace.
FamilyGraphSnapshot family_graph(const RecordMap& map, const Record& anchor);

// The digest of the member `record_id` of `graph`, or none when it is not a
// member.
std::optional<PersonDigest> person_digest(const FamilyGraphSnapshot& graph, std::string_view record_id);

}  // namespace vesk
