#include "audit/decision_explanation.h"

#include <algorithm>
#include <map>
#include <set>
#include <utility>

namespace vesk {
namespace {

// The nodes of `found`, one per entity id, ascending.
std::vector<AuditGraphNode> distinct_by_id(std::vector<AuditGraphNode> found) {
  std::stable_sort(found.begin(), found.end(),
                   [](const AuditGraphNode& a, const AuditGraphNode& b) { return a.entity_id < b.entity_id; });
  found.erase(std::unique(found.begin(), found.end(),
                          [](const AuditGraphNode& a, const AuditGraphNode& b) { return a.entity_id == b.entity_id; }),
              found.end());
  return found;
}

}  // namespace

const JsonStruct<DecisionEvidence>& JsonCodec<DecisionEvidence>::fields() {
  static const JsonStruct<DecisionEvidence> s("struct DecisionEvidence",
                                              {
                                                  json_field<&DecisionEvidence::claim>("claim"),
                                                  json_field<&DecisionEvidence::use_relation>("use_relation"),
                                                  json_field<&DecisionEvidence::source_edges>("source_edges"),
                                              });
  return s;
}

const JsonStruct<DecisionExplanation>& JsonCodec<DecisionExplanation>::fields() {
  static const JsonStruct<DecisionExplanation> s(
      "struct DecisionExplanation",
      {
          json_field<&DecisionExplanation::decision>("decision"),
          json_field<&DecisionExplanation::evidence>("evidence"),
          json_field<&DecisionExplanation::conflicts>("conflicts"),
          json_field<&DecisionExplanation::actions>("actions"),
          json_field<&DecisionExplanation::artifacts>("artifacts"),
          json_field<&DecisionExplanation::verifications>("verifications"),
          json_field<&DecisionExplanation::missing_links>("missing_links"),
      });
  return s;
}

Result<DecisionExplanation> explain_decision(const IndexedAuditGraph& g, std::string_view decision_id) {
  auto found = g.nodes.find(decision_id);
  if (!found.ok()) return found.status();
  const AuditGraphNode& decision = **found;
  if (decision.kind != AuditEntityKind::Decision) {
    return Status::Runtime("entity '" + decision.entity_id + "' is not a decision");
  }
  DecisionExplanation out;
  out.decision = decision;

  // The (claim, relation) pairs, ascending and each once; the relation kinds'
  // values run recalled_for < used_evidence < used_by.
  std::set<std::pair<std::string_view, AuditRelationKind>> uses;
  for (const StoredAuditGraphEdge& e : g.graph.edges) {
    if ((e.relation == AuditRelationKind::RecalledFor || e.relation == AuditRelationKind::UsedBy) &&
        e.to_entity_id == decision.entity_id) {
      uses.emplace(e.from_entity_id, e.relation);
    } else if (e.relation == AuditRelationKind::UsedEvidence && e.from_entity_id == decision.entity_id) {
      uses.emplace(e.to_entity_id, e.relation);
    }
  }
  std::vector<std::string_view> claim_ids;
  for (const auto& [id, relation] : uses) {
    auto node = g.nodes.find(id);
    if (!node.ok()) return node.status();
    const AuditGraphNode& claim = **node;
    if (claim.kind != AuditEntityKind::Claim && claim.kind != AuditEntityKind::Memory) {
      return Status::Runtime("decision evidence '" + claim.entity_id + "' is not a claim or memory");
    }
    out.evidence.push_back(DecisionEvidence{claim, relation, evidence_edges_for_entity(g.graph.edges, claim.entity_id)});
    if (claim_ids.empty() || claim_ids.back() != claim.entity_id) claim_ids.push_back(claim.entity_id);
  }

  // The claims' conflicts, merged: by claim, then opposing id; the first
  // report of each unordered pair stays.
  std::sort(claim_ids.begin(), claim_ids.end());
  claim_ids.erase(std::unique(claim_ids.begin(), claim_ids.end()), claim_ids.end());
  for (std::string_view id : claim_ids) {
    auto conflicts = collect_claim_conflicts(g, id);
    if (!conflicts.ok()) return conflicts.status();
    for (ContradictionReport& r : *conflicts) out.conflicts.push_back(std::move(r));
  }
  std::stable_sort(out.conflicts.begin(), out.conflicts.end(),
                   [](const ContradictionReport& a, const ContradictionReport& b) {
                     if (a.claim.entity_id != b.claim.entity_id) return a.claim.entity_id < b.claim.entity_id;
                     return a.opposing_claim.entity_id < b.opposing_claim.entity_id;
                   });
  std::set<std::pair<std::string, std::string>> pairs;
  std::erase_if(out.conflicts, [&](const ContradictionReport& r) {
    const std::string& a = r.claim.entity_id;
    const std::string& b = r.opposing_claim.entity_id;
    return !pairs.emplace(std::min(a, b), std::max(a, b)).second;
  });

  out.actions = audit_targets_by_relation(g, decision.entity_id, AuditRelationKind::Caused);
  std::vector<AuditGraphNode> produced;
  for (const AuditGraphNode& action : out.actions) {
    for (AuditGraphNode& n : audit_targets_by_relation(g, action.entity_id, AuditRelationKind::Produced)) {
      produced.push_back(std::move(n));
    }
  }
  out.artifacts = distinct_by_id(std::move(produced));
  std::vector<AuditGraphNode> verified;
  for (const AuditGraphNode& artifact : out.artifacts) {
    for (AuditGraphNode& n : audit_targets_by_relation(g, artifact.entity_id, AuditRelationKind::VerifiedBy)) {
      verified.push_back(std::move(n));
    }
  }
  out.verifications = distinct_by_id(std::move(verified));

  if (out.evidence.empty()) out.missing_links.push_back("evidence");
  if (out.actions.empty()) out.missing_links.push_back("action");
  if (!out.actions.empty() && out.artifacts.empty()) out.missing_links.push_back("artifact");
  if (!out.artifacts.empty() && out.verifications.empty()) out.missing_links.push_back("verification");
  return out;
}

}  // namespace vesk
