"""Claim evidence, claim conflicts and decision explanations from Python."""

import pytest

from test_audit_graph import EDGE_KEYS, NODE_KEYS


def _entity(store, kind, status="accepted", text=None, entity_id=None):
    rid = store.store(text or f"a {kind} about the kiln, number {store.count() + 1}")
    return rid, store.annotate_audit_entity(rid, kind, status, canonical_id=entity_id)["entity_id"]


def test_a_claim_without_edges_and_the_refusals(store):
    rid, claim = _entity(store, "claim", entity_id="claim-1")
    for name in (claim, rid):
        trace = store.trace_claim_evidence(name)
        assert list(trace) == ["claim", "source_edges", "decision_uses", "conflicts"]
        assert list(trace["claim"]) == NODE_KEYS and trace["claim"]["entity_id"] == claim
        assert trace["source_edges"] == trace["decision_uses"] == trace["conflicts"] == []
        assert store.find_claim_conflicts(claim_id=name) == []

    decision_rid, decision = _entity(store, "decision", "decided", entity_id="dec-1")
    for call in (store.trace_claim_evidence, store.find_claim_conflicts):
        with pytest.raises(RuntimeError, match="^entity 'dec-1' is not a claim or memory$"):
            call(decision_rid)
        with pytest.raises(RuntimeError, match="^audit entity not found: nowhere$"):
            call("nowhere")
        with pytest.raises(TypeError, match="argument 'claim_id'"):
            call(7)
    with pytest.raises(RuntimeError, match="^entity 'claim-1' is not a decision$"):
        store.explain_decision(rid)


def test_evidence_uses_and_recommended_operations(store):
    _, a = _entity(store, "claim", "accepted", entity_id="a")
    _, b = _entity(store, "claim", "accepted", entity_id="b")
    _, c = _entity(store, "claim", "rejected", entity_id="c")
    _, d = _entity(store, "decision", "decided", entity_id="d")
    store.link_audit_entities(a, b, "derived_from")
    store.link_audit_entities(a, c, "supports")
    store.link_audit_entities(a, d, "recalled_for")
    store.link_audit_entities(d, a, "used_evidence")
    trace = store.trace_claim_evidence(a)
    assert [(e["from_entity_id"], e["relation"], e["to_entity_id"]) for e in trace["source_edges"]] == [
        ("a", "derived_from", "b")]
    assert list(trace["source_edges"][0]) == EDGE_KEYS
    assert [n["entity_id"] for n in trace["decision_uses"]] == ["d"]

    store.link_audit_entities(c, a, "contradicts")
    store.link_audit_entities(b, a, "contradicts")
    [_, e] = _entity(store, "claim", "accepted", entity_id="e")
    store.link_audit_entities(e, b, "supersedes")
    reports = store.find_claim_conflicts(a)
    assert [list(r) for r in reports] == [["claim", "opposing_claim", "relation", "claim_sources",
                                           "opposing_sources", "recommended_operation"]] * 2
    assert [(r["opposing_claim"]["entity_id"], r["recommended_operation"]) for r in reports] == [
        ("b", "manual_review_required"), ("c", "retain_rejected_claim_as_audit_scar")]
    assert reports == store.trace_claim_evidence(a)["conflicts"]
    [superseded] = store.find_claim_conflicts(e)
    assert superseded["recommended_operation"] == "prefer_current_version_and_retain_superseded_history"


def test_decision_explanations(store):
    _, d = _entity(store, "decision", "decided", entity_id="d")
    bare = store.explain_decision(d)
    assert list(bare) == ["decision", "evidence", "conflicts", "actions", "artifacts", "verifications",
                          "missing_links"]
    assert bare["missing_links"] == ["evidence", "action"]
    assert bare["evidence"] == bare["actions"] == bare["artifacts"] == []

    _, c1 = _entity(store, "claim", entity_id="c1")
    _, c2 = _entity(store, "claim", entity_id="c2")
    _, act = _entity(store, "action", "completed", entity_id="act")
    _, art = _entity(store, "artifact", "produced", entity_id="art")
    store.link_audit_entities(c1, d, "recalled_for")
    store.link_audit_entities(d, c1, "used_evidence")
    store.link_audit_entities(c2, d, "used_by")
    store.link_audit_entities(c2, c1, "contradicts")
    store.link_audit_entities(d, act, "caused")
    store.link_audit_entities(act, art, "produced")
    before = store.audit_graph()
    x = store.explain_decision(d)
    assert [(e["claim"]["entity_id"], e["use_relation"]) for e in x["evidence"]] == [
        ("c1", "recalled_for"), ("c1", "used_evidence"), ("c2", "used_by")]
    assert [(r["claim"]["entity_id"], r["opposing_claim"]["entity_id"]) for r in x["conflicts"]] == [("c1", "c2")]
    assert [n["entity_id"] for n in x["actions"]] == ["act"]
    assert x["artifacts"] == [n for n in before["nodes"] if n["entity_id"] == "art"]
    assert x["missing_links"] == ["verification"]
    assert store.audit_graph(valid_at=before["evaluated_at"]) == before
