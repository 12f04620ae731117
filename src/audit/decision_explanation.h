// Why a decision was taken and what came of it, from an audit graph alone:
// the claims and memories it used with their evidence, the conflicts among
// them, the actions it caused, the artifacts those produced, their
// verifications, and which links of that chain are missing.
//
// The chain: claim --recalled_for/used_by--> decision (or decision
// --used_evidence--> claim), decision --caused--> action, action
// --produced--> artifact, artifact --verified_by--> verification.
//
// JSON form:
//   {"decision": node,
//    "evidence": [{"claim": node, "use_relation": relation, "source_edges": [edge row]}],
//    "conflicts": [contradiction report], "actions": [node], "artifacts": [node],
//    "verifications": [node], "missing_links": ["evidence" | "action" | "artifact" | "verification"]}
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "audit/claim_evidence.h"

namespace vesk {

struct DecisionEvidence {
  AuditGraphNode claim;
  AuditRelationKind use_relation = AuditRelationKind::RecalledFor;
  std::vector<StoredAuditGraphEdge> source_edges;

  bool operator==(const DecisionEvidence&) const = default;
};

struct DecisionExplanation {
  AuditGraphNode decision;
  // One per (claim entity id, relation), ascending by id, then recalled_for,
  // used_evidence, used_by.
  std::vector<DecisionEvidence> evidence;
  // Of all claims used, by claim id then opposing id; one per unordered pair.
  std::vector<ContradictionReport> conflicts;
  std::vector<AuditGraphNode> actions;        // edge order, as often as reached
  std::vector<AuditGraphNode> artifacts;      // one per entity id, ascending
  std::vector<AuditGraphNode> verifications;  // one per entity id, ascending
  std::vector<std::string> missing_links;

  bool operator==(const DecisionExplanation&) const = default;
};

template <>
struct JsonCodec<DecisionEvidence> : JsonStructCodec<DecisionEvidence> {
  static const JsonStruct<DecisionEvidence>& fields();
};
template <>
struct JsonCodec<DecisionExplanation> : JsonStructCodec<DecisionExplanation> {
  static const JsonStruct<DecisionExplanation>& fields();
};

// The explanation of the decision `decision_id` (entity id or record id).
// Runtime errors: "audit entity not found: {id}", "entity '{entity id}' is
// not a decision", "decision evidence '{entity id}' is not a claim or
// memory", and those of collect_claim_conflicts.
Result<DecisionExplanation> explain_decision(const IndexedAuditGraph& g, std::string_view decision_id);

}  // namespace vesk
