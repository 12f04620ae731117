// Local entities: their typed edges, the link between two entities and the
// digests of one entity and its graph. All hold the interpreter lock: each
// is one pass over an entity's records (through the entity index) or a
// short change of two anchor records.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "value_classes.h"
#include "vesk_object.h"

namespace vesk::py {
namespace {

std::optional<size_t> count(std::optional<uint64_t> n) {
  return n ? std::optional<size_t>(static_cast<size_t>(*n)) : std::nullopt;
}

std::optional<EntityDigest> get_entity_digest(Vesk& self, std::string entity_id) {
  return self.get_entity_digest(entity_id);
}
constexpr Method kGetEntityDigest{"Vesk", "get_entity_digest($self, entity_id)", get_entity_digest};

std::optional<EntityDigest> get_entity_digest_for_record(Vesk& self, std::string record_id) {
  return self.get_entity_digest_for_record(record_id);
}
constexpr Method kGetEntityDigestForRecord{"Vesk", "get_entity_digest_for_record($self, record_id)",
                                           get_entity_digest_for_record};

std::optional<EntityGraphDigest> get_entity_graph_digest(Vesk& self, std::string entity_id,
                                                         std::optional<uint64_t> limit) {
  return self.get_entity_graph_digest(entity_id, count(limit));
}
constexpr Method kGetEntityGraphDigest{"Vesk", "get_entity_graph_digest($self, entity_id, limit=None)",
                                       get_entity_graph_digest};

std::optional<EntityGraphDigest> get_entity_graph_digest_for_record(Vesk& self, std::string record_id,
                                                                    std::optional<uint64_t> limit) {
  return self.get_entity_graph_digest_for_record(record_id, count(limit));
}
constexpr Method kGetEntityGraphDigestForRecord{
    "Vesk", "get_entity_graph_digest_for_record($self, record_id, limit=None)", get_entity_graph_digest_for_record};

std::vector<EntityGraphDigest> get_entity_graph_neighbors(Vesk& self, std::string entity_id,
                                                          std::optional<uint64_t> top_n,
                                                          std::optional<float> min_weight,
                                                          std::optional<std::string> relation_type_filter,
                                                          std::optional<uint64_t> edge_limit) {
  std::optional<std::string_view> filter;
  if (relation_type_filter) filter = *relation_type_filter;
  return self.get_entity_graph_neighbors(entity_id, count(top_n), min_weight, filter, count(edge_limit));
}
constexpr Method kGetEntityGraphNeighbors{"Vesk",
                                          "get_entity_graph_neighbors($self, entity_id, top_n=None, min_weight=None, "
                                          "relation_type_filter=None, edge_limit=None)",
                                          get_entity_graph_neighbors};

std::vector<EntityRelationEdge> get_entity_relations(Vesk& self, std::string entity_id, std::optional<uint64_t> limit) {
  return self.get_entity_relations(entity_id, count(limit));
}
constexpr Method kGetEntityRelations{"Vesk", "get_entity_relations($self, entity_id, limit=None)",
                                     get_entity_relations};

Result<EntityRelationEdge> link_entities(Vesk& self, std::string source_entity_id, std::string target_entity_id,
                                         std::string relation_type, std::optional<float> weight) {
  return self.link_entities(source_entity_id, target_entity_id, relation_type, weight);
}
constexpr Method kLinkEntities{
    "Vesk", "link_entities($self, source_entity_id, target_entity_id, relation_type, weight=None)", link_entities};

}  // namespace

MethodRows entity_methods() {
  return {bind<kGetEntityDigest>(),         bind<kGetEntityDigestForRecord>(),      bind<kGetEntityGraphDigest>(),
          bind<kGetEntityGraphDigestForRecord>(), bind<kGetEntityGraphNeighbors>(), bind<kGetEntityRelations>(),
          bind<kLinkEntities>()};
}

}  // namespace vesk::py
