#include "audit/claim_evidence.h"

#include <algorithm>
#include <set>
#include <string>

namespace vesk {
namespace {

// The node of `id` when it is a claim or a memory.
Result<const AuditGraphNode*> claim_node(const IndexedAuditGraph& g, std::string_view id) {
  auto node = g.nodes.find(id);
  if (!node.ok()) return node.status();
  const AuditEntityKind kind = (*node)->kind;
  if (kind != AuditEntityKind::Claim && kind != AuditEntityKind::Memory) {
    return Status::Runtime("entity '" + (*node)->entity_id + "' is not a claim or memory");
  }
  return node;
}

}  // namespace

const JsonStruct<ClaimEvidenceTrace>& JsonCodec<ClaimEvidenceTrace>::fields() {
  static const JsonStruct<ClaimEvidenceTrace> s("struct ClaimEvidenceTrace",
                                                {
                                                    json_field<&ClaimEvidenceTrace::claim>("claim"),
                                                    json_field<&ClaimEvidenceTrace::source_edges>("source_edges"),
                                                    json_field<&ClaimEvidenceTrace::decision_uses>("decision_uses"),
                                                    json_field<&ClaimEvidenceTrace::conflicts>("conflicts"),
                                                });
  return s;
}

std::vector<StoredAuditGraphEdge> evidence_edges_for_entity(std::span<const StoredAuditGraphEdge> edges,
                                                            std::string_view entity_id) {
  std::vector<StoredAuditGraphEdge> out;
  for (const StoredAuditGraphEdge& e : edges) {
    const bool supports = e.relation == AuditRelationKind::Supports || e.relation == AuditRelationKind::Refutes;
    if ((supports && e.to_entity_id == entity_id) ||
        (e.relation == AuditRelationKind::DerivedFrom && e.from_entity_id == entity_id)) {
      out.push_back(e);
    }
  }
  return out;
}

std::vector<AuditGraphNode> audit_targets_by_relation(const IndexedAuditGraph& g, std::string_view entity_id,
                                                      AuditRelationKind relation) {
  std::vector<AuditGraphNode> out;
  for (const StoredAuditGraphEdge& e : g.graph.edges) {
    if (e.relation != relation || e.from_entity_id != entity_id) continue;
    if (auto node = g.nodes.find(e.to_entity_id); node.ok()) out.push_back(**node);
  }
  return out;
}

Result<std::vector<ContradictionReport>> collect_claim_conflicts(const IndexedAuditGraph& g,
                                                                 std::string_view claim_id) {
  auto claim = claim_node(g, claim_id);
  if (!claim.ok()) return claim.status();
  const AuditGraphNode& c = **claim;
  std::vector<StoredAuditGraphEdge> claim_sources;
  bool claim_sources_known = false;
  std::vector<ContradictionReport> out;
  for (const StoredAuditGraphEdge& e : g.graph.edges) {
    if (e.relation != AuditRelationKind::Contradicts && e.relation != AuditRelationKind::Supersedes) continue;
    const std::string* other;
    if (e.from_entity_id == c.entity_id) {
      other = &e.to_entity_id;
    } else if (e.to_entity_id == c.entity_id) {
      other = &e.from_entity_id;
    } else {
      continue;
    }
    auto opposing = g.nodes.find(*other);
    if (!opposing.ok()) return opposing.status();
    if (!claim_sources_known) {
      claim_sources = evidence_edges_for_entity(g.graph.edges, c.entity_id);
      claim_sources_known = true;
    }
    const AuditGraphNode& o = **opposing;
    out.push_back(ContradictionReport{c, o, e.relation, claim_sources,
                                      evidence_edges_for_entity(g.graph.edges, o.entity_id),
                                      std::string(recommend_conflict_operation(c.status, o.status, e.relation))});
  }
  std::stable_sort(out.begin(), out.end(), [](const ContradictionReport& a, const ContradictionReport& b) {
    return a.opposing_claim.entity_id < b.opposing_claim.entity_id;
  });
  return out;
}

Result<ClaimEvidenceTrace> trace_claim_evidence(const IndexedAuditGraph& g, std::string_view claim_id) {
  auto claim = claim_node(g, claim_id);
  if (!claim.ok()) return claim.status();
  const AuditGraphNode& c = **claim;

  std::set<std::string_view> decisions;
  for (const StoredAuditGraphEdge& e : g.graph.edges) {
    if ((e.relation == AuditRelationKind::RecalledFor || e.relation == AuditRelationKind::UsedBy) &&
        e.from_entity_id == c.entity_id) {
      decisions.insert(e.to_entity_id);
    } else if (e.relation == AuditRelationKind::UsedEvidence && e.to_entity_id == c.entity_id) {
      decisions.insert(e.from_entity_id);
    }
  }
  ClaimEvidenceTrace trace;
  trace.claim = c;
  for (std::string_view id : decisions) {
    auto node = g.nodes.find(id);
    if (!node.ok()) return node.status();
    trace.decision_uses.push_back(**node);
  }
  trace.source_edges = evidence_edges_for_entity(g.graph.edges, c.entity_id);
  auto conflicts = collect_claim_conflicts(g, c.entity_id);
  if (!conflicts.ok()) return conflicts.status();
  trace.conflicts = std::move(*conflicts);
  return trace;
}

}  // namespace vesk
