#include "entities/entity_digest.h"

#include <algorithm>
#include <cmath>
#include <compare>
#include <string>
#include <utility>

#include "base/string_hash.h"
#include "entities/entity_records.h"
#include "entities/entity_relations.h"

namespace vesk {
namespace {

EntityDigest digest_of(std::string_view entity_id, const EntityRecordView& view) {
  EntityDigest d;
  d.entity_id = std::string(entity_id);
  d.namespace_ = std::string(view.namespace_);
  d.record_ids.reserve(view.records.size());
  for (const Record* r : view.records) {
    d.record_ids.push_back(r->id);
    d.relation_count += r->connection_types.size();
    for (const std::string& tag : r->tags) ++d.tags[tag];
    ++d.levels[std::string(level_display_name(r->level))];
  }
  std::sort(d.record_ids.begin(), d.record_ids.end());
  return d;
}

}  // namespace

std::optional<EntityDigest> entity_digest(const RecordMap& map, const MetadataValueIndex& index,
                                          std::string_view entity_id) {
  std::optional<EntityRecordView> view = entity_records_view(map, index, entity_id);
  if (!view) return std::nullopt;
  return digest_of(entity_id, *view);
}

std::optional<EntityGraphDigest> entity_graph_digest(const RecordMap& map, const MetadataValueIndex& index,
                                                     std::string_view entity_id, std::optional<size_t> limit) {
  std::optional<EntityRecordView> view = entity_records_view(map, index, entity_id);
  if (!view) return std::nullopt;
  EntityGraphDigest g;
  g.entity = digest_of(entity_id, *view);
  g.anchor_record_id = entity_anchor(*view)->id;
  g.edges = entity_relations(map, index, entity_id, limit);

  // Target entity -> its row, in the order first met.
  StringKeyMap<size_t> row_of;
  std::vector<EntityGraphNeighbor> rows;
  std::vector<bool> resolved;
  for (const EntityRelationEdge& e : g.edges) {
    ++g.relation_types[e.relation_type];
    auto [at, added] = row_of.try_emplace(e.target_entity_id, rows.size());
    if (added) {
      EntityGraphNeighbor row;
      row.entity_id = e.target_entity_id;
      std::optional<EntityRecordView> target = entity_records_view(map, index, e.target_entity_id);
      if (target) {
        row.anchor_record_id = entity_anchor(*target)->id;
        row.record_count = target->records.size();
      }
      rows.push_back(std::move(row));
      resolved.push_back(target.has_value());
    }
    EntityGraphNeighbor& row = rows[at->second];
    ++row.relation_count;
    ++row.relation_types[e.relation_type];
    row.strongest_weight = std::fmax(static_cast<float>(row.strongest_weight), static_cast<float>(e.weight));
  }
  for (size_t i = 0; i < rows.size(); ++i) {
    if (resolved[i]) g.neighbors.push_back(std::move(rows[i]));
  }
  std::sort(g.neighbors.begin(), g.neighbors.end(), [](const EntityGraphNeighbor& a, const EntityGraphNeighbor& b) {
    const std::strong_ordering w =
        std::strong_order(static_cast<float>(b.strongest_weight), static_cast<float>(a.strongest_weight));
    if (w != 0) return w < 0;
    return a.entity_id < b.entity_id;
  });
  g.neighbor_count = g.neighbors.size();
  return g;
}

std::vector<EntityGraphDigest> entity_graph_neighbors(const RecordMap& map, const MetadataValueIndex& index,
                                                      std::string_view entity_id, std::optional<size_t> top_n,
                                                      std::optional<float> min_weight,
                                                      std::optional<std::string_view> relation_type_filter,
                                                      std::optional<size_t> edge_limit) {
  std::optional<EntityGraphDigest> graph = entity_graph_digest(map, index, entity_id, edge_limit);
  if (!graph) return {};
  const float threshold = min_weight.value_or(0.0f);
  std::vector<EntityGraphDigest> out;
  size_t taken = 0;
  for (const EntityGraphNeighbor& row : graph->neighbors) {
    if (top_n && taken >= *top_n) break;
    if (!(static_cast<float>(row.strongest_weight) >= threshold)) continue;
    if (relation_type_filter) {
      const bool matches = std::any_of(row.relation_types.begin(), row.relation_types.end(),
                                       [&](const auto& kv) { return kv.first.starts_with(*relation_type_filter); });
      if (!matches) continue;
    }
    ++taken;
    if (std::optional<EntityGraphDigest> neighbour = entity_graph_digest(map, index, row.entity_id, edge_limit)) {
      out.push_back(std::move(*neighbour));
    }
  }
  return out;
}

}  // namespace vesk
