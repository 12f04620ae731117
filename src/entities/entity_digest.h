// The inspect views of one entity: its digest (records, tag and level
// counts, typed connections), its graph digest (the digest, the anchor, the
// entity's edges and one row per neighbouring entity) and the graph digests
// of its strongest neighbours.
//
// A neighbour row sums the entity's edges to one target entity: how many,
// of which types, and the strongest weight (a fold from 0.0 that ignores
// NaN). Rows are sorted by strongest weight descending (total order of
// floats), then entity id; a target entity the map no longer resolves gets
// no row, though its edges stay in the digest's edges and type counts.
//
// Reads a map the caller holds locked, with its metadata value index, so a
// graph digest and the neighbours' digests all describe one state of the map.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "entities/entity_graph.h"
#include "model/metadata_value_index.h"
#include "model/record_map.h"

namespace vesk {

// None for an entity id no record holds.
std::optional<EntityDigest> entity_digest(const RecordMap& map, const MetadataValueIndex& index,
                                          std::string_view entity_id);

// None for an entity id no record holds. `limit` goes to entity_relations.
std::optional<EntityGraphDigest> entity_graph_digest(const RecordMap& map, const MetadataValueIndex& index,
                                                     std::string_view entity_id, std::optional<size_t> limit);

// The graph digests (each with `edge_limit`) of the neighbours of the
// entity's graph digest, in its row order, keeping rows whose strongest
// weight is at least `min_weight` (none: 0.0; NaN keeps none) and, with a
// filter, that have a relation type beginning with it (bytes); at most
// `top_n` rows are taken.
std::vector<EntityGraphDigest> entity_graph_neighbors(const RecordMap& map, const MetadataValueIndex& index,
                                                      std::string_view entity_id, std::optional<size_t> top_n,
                                                      std::optional<float> min_weight,
                                                      std::optional<std::string_view> relation_type_filter,
                                                      std::optional<size_t> edge_limit);

}  // namespace vesk
