// Local entities and their graph: every record with the same "entity_id"
// metadata is one entity, its anchor the first of them; entities are linked
// by typed edges between their anchor records. These are the inspect shapes
// of one entity, one edge and one entity with its direct neighbours.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/string_hash.h"

namespace vesk {

struct EntityDigest {
  std::string entity_id;
  std::string namespace_;
  std::vector<std::string> record_ids;
  uint64_t relation_count = 0;
  StringKeyMap<uint64_t> tags;    // tag -> records carrying it
  StringKeyMap<uint64_t> levels;  // level name -> records at it

  bool operator==(const EntityDigest&) const = default;
};

struct EntityRelationEdge {
  std::string source_entity_id;
  std::string target_entity_id;
  std::string relation_type;
  double weight = 0.0;
  std::string namespace_;
  std::string source_record_id;
  std::string target_record_id;

  bool operator==(const EntityRelationEdge&) const = default;
};

// One entity linked to the digest's entity, and how.
struct EntityGraphNeighbor {
  std::string entity_id;
  std::string anchor_record_id;
  uint64_t record_count = 0;
  uint64_t relation_count = 0;
  StringKeyMap<uint64_t> relation_types;
  double strongest_weight = 0.0;

  bool operator==(const EntityGraphNeighbor&) const = default;
};

struct EntityGraphDigest {
  EntityDigest entity;
  std::string anchor_record_id;
  uint64_t neighbor_count = 0;
  StringKeyMap<uint64_t> relation_types;
  std::vector<EntityGraphNeighbor> neighbors;
  std::vector<EntityRelationEdge> edges;

  bool operator==(const EntityGraphDigest&) const = default;
};

}  // namespace vesk
