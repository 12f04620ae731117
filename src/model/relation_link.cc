#include "model/relation_link.h"

namespace vesk {

bool holds_relation_edge(const Record& record, std::string_view target, float weight,
                         std::string_view relation_type) {
  auto w = record.connections.find(target);
  if (w == record.connections.end() || !(w->second == weight)) return false;
  auto t = record.connection_types.find(target);
  return t != record.connection_types.end() && t->second == relation_type;
}

bool link_relation_edge(Record& record, std::string_view target, std::string_view relation_type, float weight) {
  if (holds_relation_edge(record, target, weight, relation_type)) return false;
  return record.set_connection(target, weight, relation_type);
}

bool is_structural_relation_type(std::string_view relation_type) {
  return relation_type.starts_with("family.") || relation_type == "belongs_to_project";
}

}  // namespace vesk
