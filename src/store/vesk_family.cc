// Family memory: the family anchor of a namespace, its graph, the digest of
// one person and the store of a person record.
//
// The anchor is the first record in map order tagged "user-profile"; its
// candidates come from the structural relation index, which keeps every
// such record by namespace under the record map's lock, so a read costs the
// profile records and the anchor's connections, never a walk of the map.
#include <utility>

#include "store/vesk.h"

namespace vesk {
namespace {

const Record* family_anchor(const RecordMap& map, const StructuralRelationIndex& structural,
                            std::optional<std::string_view> namespace_) {
  return namespace_ ? structural.user_profile(map, *namespace_) : structural.first_user_profile(map);
}

}  // namespace

std::optional<Record> Vesk::find_family_anchor(std::optional<std::string_view> namespace_) const {
  auto records = records_.records.read();
  const Record* anchor = family_anchor(*records, records_.structural(records), namespace_);
  return anchor ? std::optional<Record>(*anchor) : std::nullopt;
}

std::optional<FamilyGraphSnapshot> Vesk::get_family_graph(std::optional<std::string_view> namespace_) const {
  // One hold of the lock for the anchor and its members: the graph is what
  // the map held at one moment.
  auto records = records_.records.read();
  const Record* anchor = family_anchor(*records, records_.structural(records), namespace_);
  if (!anchor) return std::nullopt;
  return family_graph(*records, *anchor);
}

std::optional<FamilyGraphSnapshot> Vesk::get_family_graph_for_record(std::string_view record_id) const {
  auto records = records_.records.read();
  const Record* r = records->find_value(record_id);
  if (!r) return std::nullopt;
  const Record* anchor = records_.structural(records).user_profile(*records, r->namespace_);
  if (!anchor) return std::nullopt;
  return family_graph(*records, *anchor);
}

std::optional<PersonDigest> Vesk::get_person_digest(std::string_view record_id) const {
  std::optional<FamilyGraphSnapshot> graph = get_family_graph_for_record(record_id);
  if (!graph) return std::nullopt;
  return person_digest(*graph, record_id);
}

Result<std::string> Vesk::store_family_person(std::string_view relation_type, std::string content,
                                              std::optional<StringMap> metadata,
                                              std::optional<std::string> namespace_) {
  if (!is_family_relation_type(relation_type))
    return Status::Runtime("Invalid family relation type: " + std::string(relation_type));
  std::optional<std::string> anchor_id;
  {
    auto records = records_.records.read();
    if (const Record* anchor = family_anchor(*records, records_.structural(records), namespace_)) {
      anchor_id = anchor->id;
      namespace_ = anchor->namespace_;
    }
  }
  StoreRequest request;
  request.metadata = family_person_metadata(relation_type, content, metadata ? std::move(*metadata) : StringMap{},
                                            anchor_id ? std::optional<std::string_view>(*anchor_id) : std::nullopt);
  request.content = std::move(content);
  request.level = Level::Identity;
  request.tags = std::vector<std::string>{std::string(kFamilyPersonTag)};
  request.pin = false;
  request.source_type = "recorded";
  request.deduplicate = false;
  request.namespace_ = std::move(namespace_);
  request.semantic_type = "fact";
  Result<Record> stored = store_with_channel(std::move(request));
  if (!stored.ok()) return stored.status();
  return std::move(stored->id);
}

}  // namespace vesk
