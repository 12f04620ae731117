// Local entities: their records, anchors, typed edges, links and digests.
//
// Every read holds the record map's read lock once for its whole pass and
// answers from the metadata value index (entity_id), so an entity costs its
// own records, and the lookups inside one pass (each target entity's anchor,
// each neighbour's digest) read the map under the lock already held, never
// taking it a second time on one thread.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "entities/entity_digest.h"
#include "entities/entity_relations.h"
#include "store/vesk.h"

namespace vesk {

std::optional<EntityRecordGroup> Vesk::find_entity_records(std::string_view entity_id) const {
  auto records = records_.records.read();
  return vesk::find_entity_records(*records, records_.by_metadata(records), entity_id);
}

std::optional<Record> Vesk::sorted_entity_records(std::string_view entity_id) const {
  auto records = records_.records.read();
  const Record* anchor = entity_anchor(*records, records_.by_metadata(records), entity_id);
  return anchor ? std::optional<Record>(*anchor) : std::nullopt;
}

std::vector<EntityRelationEdge> Vesk::get_entity_relations(std::string_view entity_id,
                                                           std::optional<size_t> limit) const {
  auto records = records_.records.read();
  return entity_relations(*records, records_.by_metadata(records), entity_id, limit);
}

Result<EntityRelationEdge> Vesk::link_entities(std::string_view source_entity_id, std::string_view target_entity_id,
                                               std::string_view relation_type, std::optional<float> weight) {
  if (source_entity_id == target_entity_id) return Status::Runtime("Cannot link entity to itself");
  std::optional<Record> source = sorted_entity_records(source_entity_id);
  if (!source) return Status::Runtime("Source entity " + std::string(source_entity_id) + " not found");
  std::optional<Record> target = sorted_entity_records(target_entity_id);
  if (!target) return Status::Runtime("Target entity " + std::string(target_entity_id) + " not found");
  Result<RelationEdge> link = link_records(source->id, target->id, relation_type, weight);
  if (!link.ok()) return link.status();
  EntityRelationEdge edge;
  edge.source_entity_id = std::string(source_entity_id);
  edge.target_entity_id = std::string(target_entity_id);
  edge.relation_type = std::string(relation_type);
  edge.weight = link->weight;
  edge.namespace_ = std::move(link->namespace_);
  edge.source_record_id = std::move(source->id);
  edge.target_record_id = std::move(target->id);
  return edge;
}

std::optional<EntityDigest> Vesk::get_entity_digest(std::string_view entity_id) const {
  auto records = records_.records.read();
  return entity_digest(*records, records_.by_metadata(records), entity_id);
}

namespace {

// The "entity_id" of a record of the map, copied, or none.
std::optional<std::string> entity_of_record(const RecordMap& map, std::string_view record_id) {
  const Record* r = map.find_value(record_id);
  if (!r) return std::nullopt;
  std::optional<std::string_view> entity = record_entity_id(*r);
  return entity ? std::optional<std::string>(*entity) : std::nullopt;
}

}  // namespace

std::optional<EntityDigest> Vesk::get_entity_digest_for_record(std::string_view record_id) const {
  auto records = records_.records.read();
  std::optional<std::string> entity = entity_of_record(*records, record_id);
  if (!entity) return std::nullopt;
  return entity_digest(*records, records_.by_metadata(records), *entity);
}

std::optional<EntityGraphDigest> Vesk::get_entity_graph_digest(std::string_view entity_id,
                                                               std::optional<size_t> limit) const {
  auto records = records_.records.read();
  return entity_graph_digest(*records, records_.by_metadata(records), entity_id, limit);
}

std::optional<EntityGraphDigest> Vesk::get_entity_graph_digest_for_record(std::string_view record_id,
                                                                          std::optional<size_t> limit) const {
  auto records = records_.records.read();
  std::optional<std::string> entity = entity_of_record(*records, record_id);
  if (!entity) return std::nullopt;
  return entity_graph_digest(*records, records_.by_metadata(records), *entity, limit);
}

std::vector<EntityGraphDigest> Vesk::get_entity_graph_neighbors(std::string_view entity_id,
                                                                std::optional<size_t> top_n,
                                                                std::optional<float> min_weight,
                                                                std::optional<std::string_view> relation_type_filter,
                                                                std::optional<size_t> edge_limit) const {
  auto records = records_.records.read();
  return entity_graph_neighbors(*records, records_.by_metadata(records), entity_id, top_n, min_weight,
                                relation_type_filter, edge_limit);
}

}  // namespace vesk
