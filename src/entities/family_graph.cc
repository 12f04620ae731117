#include "entities/family_graph.h"

#include <algorithm>
#include <utility>

#include "model/unicode_case.h"
#include "model/unicode_text.h"

namespace vesk {
namespace {

bool is_ascii_alnum(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// The value under `key` when present and not blank.
const std::string* non_blank(const StringMap& metadata, std::string_view key) {
  auto it = metadata.find(key);
  if (it == metadata.end() || trim_unicode_white_space(it->second).empty()) return nullptr;
  return &it->second;
}

}  // namespace

bool is_family_relation_type(std::string_view relation_type) { return relation_type.starts_with("family."); }

std::string person_slug(std::string_view text) {
  // Lower-casing first: a few non-ASCII capitals map to ASCII letters (the
  // Kelvin sign to "k", a dotted capital I to "i" and a combining dot).
  const std::string lowered = unicode_lower(text);
  std::string slug;
  slug.reserve(lowered.size());
  bool in_run = false;
  for (unsigned char c : lowered) {
    if (is_ascii_alnum(c)) {
      if (in_run && !slug.empty()) slug.push_back('-');
      in_run = false;
      slug.push_back(static_cast<char>(c));
    } else {
      // Every byte of a non-ASCII character falls here, so a run of
      // characters is a run of bytes.
      in_run = true;
    }
  }
  return slug;
}

StringMap family_person_metadata(std::string_view relation_type, std::string_view content, StringMap metadata,
                                 std::optional<std::string_view> anchor_id) {
  metadata.insert_or_assign(std::string(kPersonRelationKey), std::string(relation_type));
  if (!non_blank(metadata, kPersonEntityIdKey)) {
    const std::string* name = non_blank(metadata, kPersonNameKey);
    const std::string slug = person_slug(name ? std::string_view(*name) : content);
    if (!slug.empty())
      metadata.insert_or_assign(std::string(kPersonEntityIdKey), "person:" + std::string(relation_type) + ":" + slug);
  }
  if (anchor_id) metadata.insert_or_assign(std::string(kPersonProfileKey), std::string(*anchor_id));
  return metadata;
}

FamilyGraphSnapshot family_graph(const RecordMap& map, const Record& anchor) {
  FamilyGraphSnapshot graph;
  graph.namespace_ = anchor.namespace_;
  graph.profile_record_id = anchor.id;
  for (const auto& [target, type] : anchor.connection_types) {
    if (!is_family_relation_type(type)) continue;
    const Record* person = map.find_value(target);
    if (!person) continue;
    ++graph.relation_types[type];
    auto w = anchor.connections.find(target);
    graph.members.push_back(FamilyRelationMember{person->id, type,
                                                 w == anchor.connections.end() ? 0.0 : static_cast<double>(w->second),
                                                 person->tags, person->content});
  }
  // Byte order on both keys (std::string compares as unsigned char).
  auto before = [](const FamilyRelationMember& a, const FamilyRelationMember& b) {
    return a.relation_type != b.relation_type ? a.relation_type < b.relation_type : a.record_id < b.record_id;
  };
  std::sort(graph.members.begin(), graph.members.end(), before);
  graph.relation_count = graph.members.size();
  return graph;
}

std::optional<PersonDigest> person_digest(const FamilyGraphSnapshot& graph, std::string_view record_id) {
  for (const FamilyRelationMember& m : graph.members) {
    if (m.record_id != record_id) continue;
    return PersonDigest{graph.namespace_, graph.profile_record_id, m.record_id, m.relation_type,
                        m.weight,         m.tags,                  m.content};
  }
  return std::nullopt;
}

}  // namespace vesk
