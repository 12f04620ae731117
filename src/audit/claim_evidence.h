// Questions about one claim (or memory) of an audit graph: its evidence, the
// decisions that used it and its conflicts. Read-only over a graph built for
// the call (audit_graph.h).
//
// The relation kinds play three roles:
//   evidence of an entity:  supports, refutes ending at it; derived_from
//                           starting at it
//   use by a decision:      recalled_for, used_by from the claim to the
//                           decision; used_evidence from the decision to it
//   conflict:               contradicts, supersedes, either direction
//
// Ids compare by their bytes; ascending is byte order, a prefix first.
//
// A trace's JSON form:
//   {"claim": node, "source_edges": [edge row], "decision_uses": [node],
//    "conflicts": [contradiction report]}
#pragma once

#include <string_view>
#include <vector>

#include "audit/audit_graph.h"
#include "audit/audit_node_index.h"
#include "audit/contradiction_report.h"

namespace vesk {

// A graph with its node index, for the operations below.
struct IndexedAuditGraph {
  explicit IndexedAuditGraph(const AuditGraph& g) : graph(g), nodes(g.nodes) {}
  const AuditGraph& graph;
  AuditNodeIndex nodes;
};

struct ClaimEvidenceTrace {
  AuditGraphNode claim;
  std::vector<StoredAuditGraphEdge> source_edges;
  std::vector<AuditGraphNode> decision_uses;
  std::vector<ContradictionReport> conflicts;

  bool operator==(const ClaimEvidenceTrace&) const = default;
};

template <>
struct JsonCodec<ClaimEvidenceTrace> : JsonStructCodec<ClaimEvidenceTrace> {
  static const JsonStruct<ClaimEvidenceTrace>& fields();
};

// The evidence edges of the entity, in graph order, copied, not
// deduplicated.
std::vector<StoredAuditGraphEdge> evidence_edges_for_entity(std::span<const StoredAuditGraphEdge> edges,
                                                            std::string_view entity_id);

// The targets of the entity's outgoing edges of `relation`, in edge order,
// each as often as it is reached; a target that does not resolve is skipped.
std::vector<AuditGraphNode> audit_targets_by_relation(const IndexedAuditGraph& g, std::string_view entity_id,
                                                      AuditRelationKind relation);

// The conflicts of the claim or memory `claim_id` (entity id or record id),
// with both sides' evidence and the recommended operation, stably sorted by
// the opposing entity id. Runtime errors: "audit entity not found: {id}",
// "entity '{entity id}' is not a claim or memory".
Result<std::vector<ContradictionReport>> collect_claim_conflicts(const IndexedAuditGraph& g,
                                                                 std::string_view claim_id);

// The claim's node, its evidence edges, the decisions that used it (one per
// entity id, ascending) and its conflicts. Errors as collect_claim_conflicts.
Result<ClaimEvidenceTrace> trace_claim_evidence(const IndexedAuditGraph& g, std::string_view claim_id);

}  // namespace vesk
