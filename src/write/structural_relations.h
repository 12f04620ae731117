// The structural relations a store infers from its records after every
// write: family relations between a namespace's user profile and the records
// that name a relative, and project membership between research project
// anchors and the records that carry their project id. This file says which
// role a record plays; store/vesk_relations.cc writes the links.
//
// Records are recognised exactly (case-sensitive tags and keys):
//
//   user profile    tagged "user-profile" (the first in map order counts)
//   relative        any other record with a family relation (below)
//   project anchor  tagged "research-project", with metadata "project_id"
//   project member  not tagged "research-project", with metadata
//                   "project_id" naming an anchor of its namespace
//
// Family relation of a record, the first rule that applies: its metadata
// "family_relation" when that begins with "family." (the whole value is the
// type); else the first phrase of kFamilyPhrases found anywhere in the padded
// word form of its content (model/word_normalization.h), by a plain substring
// search, so "my son" is found in "my song" too; else none.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "model/record.h"

namespace vesk {

inline constexpr std::string_view kUserProfileTag = "user-profile";
inline constexpr std::string_view kResearchProjectTag = "research-project";
inline constexpr std::string_view kProjectIdKey = "project_id";
inline constexpr std::string_view kFamilyRelationKey = "family_relation";
inline constexpr std::string_view kBelongsToProject = "belongs_to_project";

// Both directions of a family link and of a membership link.
inline constexpr float kFamilyLinkWeight = 0.95f;
inline constexpr float kMembershipLinkWeight = 0.92f;

struct FamilyPhrase {
  std::string_view phrase;
  std::string_view relation_type;
};

// Searched in this order; the first found wins.
inline constexpr FamilyPhrase kFamilyPhrases[] = {
    {"my brother", "family.brother"},   {"my sister", "family.sister"},
    {"my mother", "family.mother"},     {"my father", "family.father"},
    {"my mom", "family.mother"},        {"my dad", "family.father"},
    {"my wife", "family.wife"},         {"my husband", "family.husband"},
    {"my son", "family.son"},           {"my daughter", "family.daughter"},
    {"my grandmother", "family.grandmother"}, {"my grandfather", "family.grandfather"},
};

// The record's family relation type, or none.
std::optional<std::string> family_relation_of(const Record& record);

// What the inference needs of one record, computed once per version of it.
struct StructuralRoles {
  bool profile = false;                       // tagged "user-profile"
  std::optional<std::string> family_relation;
  std::optional<std::string> anchor_project;  // anchor: its project id
  std::optional<std::string> member_project;  // possible member: its project id

  bool any() const { return profile || family_relation || anchor_project || member_project; }
  bool operator==(const StructuralRoles&) const = default;
};

StructuralRoles structural_roles(const Record& record);

// True when `after` may play other roles than `before`: a field the roles are
// read from differs.
bool structural_inputs_differ(const Record& before, const Record& after);

}  // namespace vesk
