#include "entities/relation_edges.h"

#include <algorithm>
#include <string>
#include <tuple>
#include <utility>

#include "base/string_hash.h"
#include "model/relation_link.h"

namespace vesk {
namespace {

bool has_tag(const Record& r, std::string_view tag) {
  return std::find(r.tags.begin(), r.tags.end(), tag) != r.tags.end();
}

// The anchor tag that orients a structural type, or none.
std::optional<std::string_view> orienting_tag(std::string_view type) {
  if (type == "belongs_to_project") return std::string_view("research-project");
  if (type.starts_with("family.")) return std::string_view("user-profile");
  return std::nullopt;
}

}  // namespace

std::vector<RelationEdge> collect_relation_edges(const RecordMap& map, std::optional<std::string_view> record_id,
                                                 std::optional<size_t> limit, bool structural_only) {
  const size_t max = limit.value_or(kDefaultRelationLimit);
  const bool all_records = !record_id.has_value();
  std::vector<RelationEdge> edges;
  // (from, to, type) of the edges listed so far.
  StringSet seen;
  std::string key;

  // False once the limit is reached.
  auto scan = [&](const Record& r) -> bool {
    for (const auto& [target_id, type] : r.connection_types) {
      if (structural_only && !is_structural_relation_type(type)) continue;
      const Record* t = map.find_value(target_id);
      if (!t) continue;
      const Record* from = &r;
      const Record* to = t;
      bool decided = false;
      if (std::optional<std::string_view> tag = orienting_tag(type)) {
        const bool rt = has_tag(r, *tag), tt = has_tag(*t, *tag);
        if (rt != tt) {
          if (tt) std::swap(from, to);
          decided = true;
        }
      }
      if (!decided && all_records) {
        auto back = t->connection_types.find(r.id);
        const bool mutual = back != t->connection_types.end() && back->second == type;
        if (mutual && t->id < r.id) std::swap(from, to);
      }
      key.clear();
      key.append(from->id).push_back('\0');
      key.append(to->id).push_back('\0');
      key.append(type);
      if (!seen.insert(key).second) continue;
      RelationEdge edge;
      edge.source_record_id = from->id;
      edge.target_record_id = to->id;
      edge.relation_type = type;
      auto w = r.connections.find(target_id);
      edge.weight = w == r.connections.end() ? 0.0f : w->second;
      edge.namespace_ = r.namespace_;
      edge.structural = is_structural_relation_type(type);
      edges.push_back(std::move(edge));
      if (edges.size() >= max) return false;
    }
    return true;
  };

  if (record_id) {
    if (const Record* r = map.find_value(*record_id)) scan(*r);
  } else {
    for (const auto& [id, r] : map) {
      if (!scan(r)) break;
    }
  }
  return edges;
}

RelationDigest relation_digest(const Record& record, std::vector<RelationEdge> edges) {
  RelationDigest d;
  d.anchor_record_id = record.id;
  d.namespace_ = record.namespace_;
  d.anchor_tags = record.tags;
  d.anchor_content = record.content;
  d.relation_count = edges.size();
  StringSet linked;
  for (const RelationEdge& e : edges) {
    ++d.relation_types[e.relation_type];
    ++(e.structural ? d.structural_relations : d.non_structural_relations);
    const std::string& other = e.source_record_id == record.id ? e.target_record_id : e.source_record_id;
    if (linked.insert(other).second) d.linked_record_ids.push_back(other);
  }
  d.edges = std::move(edges);
  return d;
}

StructuralRelation to_structural_relation(const RelationEdge& edge) {
  StructuralRelation s;
  s.source_record_id = edge.source_record_id;
  s.target_record_id = edge.target_record_id;
  s.relation_type = edge.relation_type;
  s.weight = edge.weight;
  s.namespace_ = edge.namespace_;
  return s;
}

}  // namespace vesk
