// Relation edges: the typed connections records hold, read as edges.
//
// A record R holds a typed connection to T when R's connection_types has an
// entry under T's id; its weight is R's connections entry for T, 0.0 when
// there is none. A weight without a type is no relation.
//
// collect_relation_edges scans one record's typed connections (a record id
// given) or every record's, in map order, and orients each edge:
//   - "belongs_to_project": from the record tagged "research-project" when
//     exactly one end has that tag; "family." types likewise from the end
//     tagged "user-profile";
//   - otherwise, in the one-record scan, the stored direction; in the
//     all-records scan a relation both ends hold with one type runs from the
//     smaller id (bytes) to the larger, any other in its stored direction.
// An edge whose (from, to, type) was already listed is skipped, so a
// relation held both ways comes out once in the all-records scan. Entries
// whose target the map does not hold are skipped. The limit (none: 32) is
// tested after each append, so the scan ends only after its first edge: a
// limit of 0 gives one edge, like 1. The edges stay in scan order.
//
// Reads a map the caller holds locked; changes nothing.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "entities/relation_views.h"
#include "model/record.h"
#include "model/record_map.h"

namespace vesk {

inline constexpr size_t kDefaultRelationLimit = 32;

std::vector<RelationEdge> collect_relation_edges(const RecordMap& map, std::optional<std::string_view> record_id,
                                                 std::optional<size_t> limit, bool structural_only);

// The digest of `record` and its edges (those of the one-record scan): the
// count of each type, of structural and other edges, and the other end of
// each edge, once each in edge order.
RelationDigest relation_digest(const Record& record, std::vector<RelationEdge> edges);

// The structural inspect shape of an edge (no evidence records).
StructuralRelation to_structural_relation(const RelationEdge& edge);

}  // namespace vesk
