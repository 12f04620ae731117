// The typed edges from one entity to other entities, read from the typed
// connections of the entity's records.
//
// A connection from a record R of entity E to a record T is a candidate edge
// E -> E_t when T holds an "entity_id" E_t other than E; the candidate
// carries the connection's type and weight (0.0 without a weight), E's
// namespace and the ids of R and T. One edge survives per (E_t, type): the
// heaviest; a candidate replaces the kept edge when it is heavier or when
// either weight is NaN; on equal weights the kept edge stays only when it
// joins the two entities' anchors, so an anchor pair once seen is never
// displaced and is reported whatever the scan order.
//
// The edges are sorted by weight descending (total order of floats), then
// target entity id, then type (bytes), and cut to the limit (none: 32; 0
// gives none) after sorting, so the heaviest survive.
//
// Reads a map the caller holds locked, with its metadata value index; each
// target entity's anchor is looked up once per call.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "entities/entity_graph.h"
#include "model/metadata_value_index.h"
#include "model/record_map.h"

namespace vesk {

inline constexpr size_t kDefaultEntityRelationLimit = 32;

// The edges of `entity_id`; empty for an unknown entity.
std::vector<EntityRelationEdge> entity_relations(const RecordMap& map, const MetadataValueIndex& index,
                                                 std::string_view entity_id, std::optional<size_t> limit);

}  // namespace vesk
