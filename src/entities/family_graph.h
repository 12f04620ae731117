// The family graph: the self and family relations around the user's profile
// record in one namespace, with one row per related person, and the digest
// of one linked person.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/string_hash.h"

namespace vesk {

struct FamilyRelationMember {
  std::string record_id;
  std::string relation_type;
  double weight = 0.0;
  std::vector<std::string> tags;
  std::string content;

  bool operator==(const FamilyRelationMember&) const = default;
};

struct FamilyGraphSnapshot {
  std::string namespace_;
  std::string profile_record_id;
  uint64_t relation_count = 0;
  StringKeyMap<uint64_t> relation_types;
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

}  // namespace vesk
