// Typed relations between records: the listings, the digest of one record
// and the typed link. All hold the interpreter lock: each is one pass over
// the record map or a short change of two records.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "entities/relation_edges.h"
#include "value_classes.h"
#include "vesk_object.h"

namespace vesk::py {
namespace {

std::optional<size_t> count(std::optional<uint64_t> limit) {
  return limit ? std::optional<size_t>(static_cast<size_t>(*limit)) : std::nullopt;
}

std::vector<StructuralRelation> structural(const std::vector<RelationEdge>& edges) {
  std::vector<StructuralRelation> out;
  out.reserve(edges.size());
  for (const RelationEdge& e : edges) out.push_back(to_structural_relation(e));
  return out;
}

std::vector<StructuralRelation> get_structural_relations(Vesk& self, std::optional<uint64_t> limit) {
  return structural(self.collect_relation_edges(std::nullopt, count(limit), true));
}
constexpr Method kGetStructuralRelations{"Vesk", "get_structural_relations($self, limit=None)",
                                         get_structural_relations};

std::vector<RelationEdge> get_relations(Vesk& self, std::optional<uint64_t> limit) {
  return self.collect_relation_edges(std::nullopt, count(limit), false);
}
constexpr Method kGetRelations{"Vesk", "get_relations($self, limit=None)", get_relations};

std::vector<StructuralRelation> get_structural_relations_for_record(Vesk& self, std::string record_id,
                                                                    std::optional<uint64_t> limit) {
  return structural(self.collect_relation_edges(record_id, count(limit), true));
}
constexpr Method kGetStructuralRelationsForRecord{
    "Vesk", "get_structural_relations_for_record($self, record_id, limit=None)", get_structural_relations_for_record};

std::vector<RelationEdge> get_relations_for_record(Vesk& self, std::string record_id, std::optional<uint64_t> limit) {
  return self.collect_relation_edges(record_id, count(limit), false);
}
constexpr Method kGetRelationsForRecord{"Vesk", "get_relations_for_record($self, record_id, limit=None)",
                                        get_relations_for_record};

std::optional<RelationDigest> get_relation_digest(Vesk& self, std::string record_id, std::optional<uint64_t> limit) {
  return self.get_relation_digest(record_id, count(limit));
}
constexpr Method kGetRelationDigest{"Vesk", "get_relation_digest($self, record_id, limit=None)",
                                    get_relation_digest};

Result<RelationEdge> link_records(Vesk& self, std::string source_id, std::string target_id,
                                  std::string relation_type, std::optional<float> weight) {
  return self.link_records(source_id, target_id, relation_type, weight);
}
constexpr Method kLinkRecords{"Vesk", "link_records($self, source_id, target_id, relation_type, weight=None)",
                              link_records};

}  // namespace

MethodRows relation_methods() {
  return {bind<kGetStructuralRelations>(),         bind<kGetRelations>(),       bind<kGetStructuralRelationsForRecord>(),
          bind<kGetRelationsForRecord>(),          bind<kGetRelationDigest>(),  bind<kLinkRecords>()};
}

}  // namespace vesk::py
