#include "write/structural_relations.h"

#include <algorithm>

#include "model/word_normalization.h"

namespace vesk {
namespace {

bool has_tag(const Record& r, std::string_view tag) {
  return std::find(r.tags.begin(), r.tags.end(), tag) != r.tags.end();
}

}  // namespace

std::optional<std::string> family_relation_of(const Record& record) {
  if (auto it = record.metadata.find(kFamilyRelationKey);
      it != record.metadata.end() && it->second.starts_with("family.")) {
    return it->second;
  }
  const std::string words = normalize_padded_words(record.content);
  for (const FamilyPhrase& p : kFamilyPhrases) {
    if (words.find(p.phrase) != std::string::npos) return std::string(p.relation_type);
  }
  return std::nullopt;
}

StructuralRoles structural_roles(const Record& record) {
  StructuralRoles roles;
  roles.profile = has_tag(record, kUserProfileTag);
  roles.family_relation = family_relation_of(record);
  if (auto it = record.metadata.find(kProjectIdKey); it != record.metadata.end()) {
    if (has_tag(record, kResearchProjectTag)) {
      roles.anchor_project = it->second;
    } else {
      roles.member_project = it->second;
    }
  }
  return roles;
}

bool structural_inputs_differ(const Record& before, const Record& after) {
  auto value = [](const Record& r, std::string_view key) -> const std::string* {
    auto it = r.metadata.find(key);
    return it == r.metadata.end() ? nullptr : &it->second;
  };
  auto same = [&](std::string_view key) {
    const std::string* a = value(before, key);
    const std::string* b = value(after, key);
    return a == b || (a && b && *a == *b);
  };
  return before.namespace_ != after.namespace_ || before.content != after.content || before.tags != after.tags ||
         !same(kProjectIdKey) || !same(kFamilyRelationKey);
}

}  // namespace vesk
