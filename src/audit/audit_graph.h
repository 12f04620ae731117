// The audit graph: the audit entities of a store and the edges between them
// as they stood, and as they were known, at one instant (the evaluation time
// t), optionally within one namespace. Nothing of it is kept: it is built
// afresh from the records' audit metadata (audit_metadata.h) on every call.
//
// The view is bitemporal. A status event or a stored edge counts at t when it
// was recorded by then (recorded_at <= t) and its validity window holds t
// (valid_from unset or <= t, valid_until unset or > t). Of the events that
// count, the one with the greatest recorded_at gives an entity's status, the
// later one in the history winning a tie; an entity with none is not in the
// graph, nor is one whose record was created after t, nor any edge from or
// to it.
//
// Nodes come in ascending byte order of entity id; edges ascending by source
// entity id, then relation (its value, so supports first and verified_by
// last), then target entity id, then recorded_at. Every time of a node and
// an edge is rounded to the millisecond (halves away from zero);
// business_time_valid is the record's own window tested on the unrounded
// values (an infinite bound makes it false); the content preview is the
// first 240 characters (scalar values) of the content, with "…" appended
// when there are more.
//
// The graph's JSON form, the one every caller receives (node and edge rows
// in audit_graph_rows.h):
//   {"schema_version": 1, "evaluated_at": t as given, "namespace": the filter
//    or null, "nodes": [node row], "edges": [edge row]}
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "audit/audit_graph_rows.h"
#include "base/status.h"
#include "model/record.h"

namespace vesk {

struct AuditGraph {
  uint32_t schema_version = 1;
  double evaluated_at = 0.0;
  std::optional<std::string> namespace_;
  std::vector<AuditGraphNode> nodes;
  std::vector<StoredAuditGraphEdge> edges;

  bool operator==(const AuditGraph&) const = default;
};

template <>
struct JsonCodec<AuditGraph> : JsonStructCodec<AuditGraph> {
  static const JsonStruct<AuditGraph>& fields();
};

// Builds the graph at `evaluated_at` from `audit_records`: every record of
// the store that holds an entity id, in the record map's order (the order in
// which records report failures). Any failure ends the build, with no
// partial graph (all Runtime errors):
//   "evaluated_at must be finite"
//   an entity id that breaks the id rules (audit_entity.h), its message
//   a missing or unreadable kind, status history or edge list:
//     "record {id} is missing {key}", "record {id} has invalid {key}"
//   two entities with a status at t sharing an id: "duplicate audit entity ID: {id}"
//   an edge in force whose relation may not join its two kinds: the
//     message of check_audit_relation_kinds (audit_vocabulary.h)
Result<AuditGraph> build_audit_graph(std::span<const Record* const> audit_records,
                                     const std::optional<std::string>& namespace_, double evaluated_at);

// The first node, in list order, whose entity id or record id is
// `identifier` (both tried on each node before the next), or the Runtime
// error "audit entity not found: {identifier}".
Result<const AuditGraphNode*> find_audit_node(std::span<const AuditGraphNode> nodes, std::string_view identifier);

// Seconds rounded to the millisecond, halves away from zero.
double round_to_millisecond(double seconds);
// The first 240 scalar values of a UTF-8 text, with "…" appended when it
// has more.
std::string audit_content_preview(std::string_view content);

}  // namespace vesk
