#include "audit/claim_evidence.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "audit/decision_explanation.h"

namespace vesk {
namespace {

using K = AuditEntityKind;
using R = AuditRelationKind;
using S = AuditEntityStatus;

// A small graph built by hand: nodes with record id "r-" + entity id.
struct Graph {
  AuditGraph g;
  Graph& node(std::string id, K kind, S status = S::Accepted) {
    AuditGraphNode n;
    n.entity_id = id;
    n.record_id = "r-" + id;
    n.namespace_ = "default";
    n.kind = kind;
    n.status = status;
    g.nodes.push_back(n);
    return *this;
  }
  Graph& edge(std::string from, R relation, std::string to) {
    g.edges.push_back({from, "r-" + from, to, "r-" + to, relation, 1.0, std::nullopt, std::nullopt});
    return *this;
  }
};

std::vector<std::string> ids(const std::vector<AuditGraphNode>& nodes) {
  std::vector<std::string> out;
  for (const AuditGraphNode& n : nodes) out.push_back(n.entity_id);
  return out;
}

std::vector<std::string> ends(const std::vector<StoredAuditGraphEdge>& edges) {
  std::vector<std::string> out;
  for (const auto& e : edges) out.push_back(e.from_entity_id + ">" + e.to_entity_id);
  return out;
}

TEST(AuditNodeIndex, AnswersAsTheLinearSearchDoes) {
  // Entity ids and record ids drawn from one small pool, so that an id is
  // often both some node's entity id and an earlier or later node's record id.
  std::mt19937 rng(5);
  for (int round = 0; round < 200; ++round) {
    std::vector<AuditGraphNode> nodes(rng() % 8);
    for (AuditGraphNode& n : nodes) {
      n.entity_id = std::string(1, static_cast<char>('a' + rng() % 6));
      n.record_id = std::string(1, static_cast<char>('a' + rng() % 6));
    }
    AuditNodeIndex index(nodes);
    for (char c = 'a'; c <= 'g'; ++c) {
      std::string id(1, c);
      auto want = find_audit_node(nodes, id);
      auto got = index.find(id);
      ASSERT_EQ(got.ok(), want.ok()) << id;
      if (want.ok()) {
        EXPECT_EQ(*got, *want) << id;
      } else {
        EXPECT_EQ(got.status().message(), "audit entity not found: " + id);
      }
    }
  }
}

TEST(ClaimEvidence, EvidenceUsesAndConflicts) {
  Graph b;
  b.node("a", K::Claim, S::Rejected)
      .node("b", K::Claim)
      .node("c", K::Claim)
      .node("d2", K::Decision)
      .node("d1", K::Decision)
      .node("m", K::Memory, S::Superseded)
      .node("z", K::Claim)
      .node("s", K::Source)
      // Evidence of a: b supports it, a derives from c; a's own supports
      // edge and a derived_from into a are not.
      .edge("a", R::DerivedFrom, "c")
      .edge("a", R::Supports, "z")
      .edge("b", R::Supports, "a")
      .edge("c", R::Refutes, "a")
      .edge("z", R::DerivedFrom, "a")
      // Uses: d2 twice, d1 once; listed by id.
      .edge("a", R::RecalledFor, "d2")
      .edge("d2", R::UsedEvidence, "a")
      .edge("d1", R::UsedEvidence, "a")
      // Conflicts in either direction, sorted by the other end.
      .edge("z", R::Contradicts, "a")
      .edge("a", R::Contradicts, "b")
      .edge("m", R::Contradicts, "a");
  IndexedAuditGraph g(b.g);
  for (std::string_view id : {"a", "r-a"}) {
    auto trace = trace_claim_evidence(g, id);
    ASSERT_TRUE(trace.ok()) << trace.status().message();
    EXPECT_EQ(trace->claim.entity_id, "a");
    EXPECT_EQ(ends(trace->source_edges), (std::vector<std::string>{"a>c", "b>a", "c>a"}));
    EXPECT_EQ(ids(trace->decision_uses), (std::vector<std::string>{"d1", "d2"}));
    std::vector<std::string> conflicts;
    for (const auto& r : trace->conflicts) conflicts.push_back(r.opposing_claim.entity_id + ":" + r.recommended_operation);
    EXPECT_EQ(conflicts, (std::vector<std::string>{"b:retain_rejected_claim_as_audit_scar",
                                                   "m:prefer_current_version_and_retain_superseded_history",
                                                   "z:retain_rejected_claim_as_audit_scar"}));
    EXPECT_EQ(ends(trace->conflicts[0].claim_sources), ends(trace->source_edges));
    EXPECT_EQ(ends(trace->conflicts[0].opposing_sources), std::vector<std::string>{});
  }
  auto memory = collect_claim_conflicts(g, "m");
  ASSERT_TRUE(memory.ok());
  ASSERT_EQ(memory->size(), 1u);
  EXPECT_EQ((*memory)[0].opposing_claim.entity_id, "a");

  struct Refusal {
    const char* id;
    const char* message;
  };
  for (const Refusal& r : {Refusal{"d1", "entity 'd1' is not a claim or memory"},
                           Refusal{"r-s", "entity 's' is not a claim or memory"},
                           Refusal{"nope", "audit entity not found: nope"}}) {
    EXPECT_EQ(trace_claim_evidence(g, r.id).status().message(), r.message);
    EXPECT_EQ(collect_claim_conflicts(g, r.id).status().message(), r.message);
  }
}

TEST(DecisionExplanation, ChainConflictsAndMissingLinks) {
  Graph b;
  b.node("d", K::Decision)
      .node("c1", K::Claim)
      .node("c2", K::Claim)
      .node("c0", K::Claim)
      .node("m", K::Memory)
      .node("act1", K::Action)
      .node("act2", K::Action)
      .node("art2", K::Artifact)
      .node("art1", K::Artifact)
      .node("v", K::Verification)
      .edge("c2", R::UsedBy, "d")
      .edge("d", R::UsedEvidence, "c1")
      .edge("c1", R::RecalledFor, "d")
      .edge("c1", R::RecalledFor, "d")
      .edge("m", R::RecalledFor, "d")
      // c1 and c2 (both used) contradict each other twice; c0 sorts between
      // the two mirror reports of c1.
      .edge("c2", R::Contradicts, "c1")
      .edge("c1", R::Supersedes, "c2")
      .edge("c0", R::Contradicts, "c2")
      .edge("d", R::Caused, "act2")
      .edge("d", R::Caused, "act1")
      .edge("d", R::Caused, "act2")
      .edge("act2", R::Produced, "art1")
      .edge("act1", R::Produced, "art2")
      .edge("act1", R::Produced, "art1")
      .edge("art2", R::VerifiedBy, "v");
  IndexedAuditGraph g(b.g);
  auto x = explain_decision(g, "r-d");
  ASSERT_TRUE(x.ok()) << x.status().message();
  std::vector<std::string> evidence;
  for (const auto& e : x->evidence) evidence.push_back(e.claim.entity_id + ":" + std::string(audit_relation_kind_name(e.use_relation)));
  EXPECT_EQ(evidence, (std::vector<std::string>{"c1:recalled_for", "c1:used_evidence", "c2:used_by", "m:recalled_for"}));
  std::vector<std::string> conflicts;
  for (const auto& r : x->conflicts)
    conflicts.push_back(r.claim.entity_id + ">" + r.opposing_claim.entity_id + ":" +
                        std::string(audit_relation_kind_name(r.relation)));
  EXPECT_EQ(conflicts, (std::vector<std::string>{"c1>c2:contradicts", "c2>c0:contradicts"}));
  EXPECT_EQ(ids(x->actions), (std::vector<std::string>{"act2", "act1", "act2"}));
  EXPECT_EQ(ids(x->artifacts), (std::vector<std::string>{"art1", "art2"}));
  EXPECT_EQ(ids(x->verifications), (std::vector<std::string>{"v"}));
  EXPECT_EQ(x->missing_links, std::vector<std::string>{});

  struct Case {
    Graph graph;
    std::vector<std::string> missing;
  };
  Graph bare, no_artifact;
  bare.node("d", K::Decision);
  no_artifact.node("d", K::Decision).node("c", K::Claim).node("a", K::Action);
  no_artifact.edge("c", R::UsedBy, "d").edge("d", R::Caused, "a");
  for (const Case& c : {Case{bare, {"evidence", "action"}}, Case{no_artifact, {"artifact"}}}) {
    auto e = explain_decision(IndexedAuditGraph(c.graph.g), "d");
    ASSERT_TRUE(e.ok());
    EXPECT_EQ(e->missing_links, c.missing);
  }

  // Links the writers refuse, made by hand: evidence that is not a claim.
  Graph odd;
  odd.node("d", K::Decision).node("s", K::Source).edge("s", R::RecalledFor, "d");
  EXPECT_EQ(explain_decision(IndexedAuditGraph(odd.g), "d").status().message(),
            "decision evidence 's' is not a claim or memory");
  EXPECT_EQ(explain_decision(g, "c1").status().message(), "entity 'c1' is not a decision");
  EXPECT_EQ(explain_decision(g, "gone").status().message(), "audit entity not found: gone");
}

}  // namespace
}  // namespace vesk
