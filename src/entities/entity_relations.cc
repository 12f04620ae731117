#include "entities/entity_relations.h"

#include <algorithm>
#include <compare>
#include <string>
#include <utility>

#include "base/string_hash.h"
#include "entities/entity_records.h"

namespace vesk {

std::vector<EntityRelationEdge> entity_relations(const RecordMap& map, const MetadataValueIndex& index,
                                                 std::string_view entity_id, std::optional<size_t> limit) {
  std::optional<EntityRecordView> view = entity_records_view(map, index, entity_id);
  if (!view) return {};
  const size_t max = limit.value_or(kDefaultEntityRelationLimit);
  const std::string source_anchor = entity_anchor(*view)->id;

  // Target entity -> its anchor's id ("" for none), found once per call.
  StringMap anchors;
  auto anchor_of = [&](std::string_view entity) -> const std::string& {
    auto it = anchors.find(entity);
    if (it != anchors.end()) return it->second;
    const Record* a = entity_anchor(map, index, entity);
    return anchors.emplace(std::string(entity), a ? a->id : std::string()).first->second;
  };

  std::vector<EntityRelationEdge> kept;
  // (target entity, type) -> position in `kept`.
  StringKeyMap<size_t> slot;
  std::string key;
  for (const Record* r : view->records) {
    for (const auto& [target_id, type] : r->connection_types) {
      const Record* t = map.find_value(target_id);
      if (!t) continue;
      std::optional<std::string_view> target_entity = record_entity_id(*t);
      if (!target_entity || *target_entity == entity_id) continue;
      auto w = r->connections.find(target_id);
      const float weight = w == r->connections.end() ? 0.0f : w->second;

      key.assign(*target_entity).push_back('\0');
      key.append(type);
      auto [at, added] = slot.try_emplace(key, kept.size());
      if (!added) {
        EntityRelationEdge& held = kept[at->second];
        const float held_weight = static_cast<float>(held.weight);
        if (held_weight > weight) continue;
        if (held_weight == weight && held.source_record_id == source_anchor &&
            held.target_record_id == anchor_of(*target_entity)) {
          continue;
        }
      }
      EntityRelationEdge edge;
      edge.source_entity_id = std::string(entity_id);
      edge.target_entity_id = std::string(*target_entity);
      edge.relation_type = type;
      edge.weight = weight;
      edge.namespace_ = std::string(view->namespace_);
      edge.source_record_id = r->id;
      edge.target_record_id = t->id;
      if (added) {
        kept.push_back(std::move(edge));
      } else {
        kept[at->second] = std::move(edge);
      }
    }
  }

  std::sort(kept.begin(), kept.end(), [](const EntityRelationEdge& a, const EntityRelationEdge& b) {
    const std::strong_ordering w = std::strong_order(static_cast<float>(b.weight), static_cast<float>(a.weight));
    if (w != 0) return w < 0;
    if (a.target_entity_id != b.target_entity_id) return a.target_entity_id < b.target_entity_id;
    return a.relation_type < b.relation_type;
  });
  if (kept.size() > max) kept.resize(max);
  return kept;
}

}  // namespace vesk
