"""Audit entities, their links and the audit graph, from Python."""

import json
import time

import pytest

from vesk._core import Vesk

NODE_KEYS = ["entity_id", "record_id", "namespace", "kind", "status", "status_recorded_at", "record_created_at",
             "valid_from", "valid_until", "business_time_valid", "content_preview"]
EDGE_KEYS = ["from_entity_id", "from_record_id", "to_entity_id", "to_record_id", "relation", "recorded_at",
             "valid_from", "valid_until"]


def _events(store, rid):
    return json.loads(store.get(rid).metadata["vesk.audit.v1.status_events"])


def test_annotation_answers_the_node_and_fixes_kind_and_id(store):
    rid = store.store("the kiln reaches 1240 degrees")
    node = store.annotate_audit_entity(rid, " claim ", "accepted")
    assert list(node) == NODE_KEYS
    assert node["entity_id"] == node["record_id"] == rid
    assert (node["kind"], node["status"], node["namespace"]) == ("claim", "accepted", "default")
    assert node["valid_from"] is None and node["business_time_valid"] is True
    for key in ("status_recorded_at", "record_created_at"):
        assert isinstance(node[key], float)
    assert store.get(rid).metadata["vesk.audit.v1.entity_kind"] == '"claim"'

    store.annotate_audit_entity(rid, "CLAIM", "accepted")
    assert len(_events(store, rid)) == 1
    assert store.annotate_audit_entity(rid, "claim", "rejected", canonical_id=rid)["status"] == "rejected"
    assert len(_events(store, rid)) == 2
    with pytest.raises(RuntimeError, match=rf"^audit entity kind is immutable for '{rid}' \(claim != memory\)$"):
        store.annotate_audit_entity(rid, "memory", "accepted")
    with pytest.raises(RuntimeError, match=rf"^audit entity ID is immutable \('{rid}' != 'c9'\)$"):
        store.annotate_audit_entity(rid, "claim", "accepted", canonical_id="c9")


@pytest.mark.parametrize(
    "canonical_id, exc, message",
    [
        ("a" * 512, None, None),
        ("a" * 513, RuntimeError, "audit entity ID cannot exceed 512 bytes"),
        ("\t", RuntimeError, "audit entity ID cannot be empty"),
        ("taken", RuntimeError, "audit entity ID is already assigned: taken"),
    ],
)
def test_chosen_ids(store, canonical_id, exc, message):
    store.annotate_audit_entity(store.store("holder of the taken id"), "claim", "accepted", canonical_id="taken")
    rid = store.store("a claim that wants an id")
    if exc is None:
        node = store.annotate_audit_entity(rid, "claim", "accepted", canonical_id=canonical_id)
        assert node["entity_id"] == canonical_id
    else:
        with pytest.raises(exc) as caught:
            store.annotate_audit_entity(rid, "claim", "accepted", canonical_id=canonical_id)
        assert str(caught.value) == message
        assert "vesk.audit.v1.entity_id" not in store.get(rid).metadata


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda s, r: s.annotate_audit_entity(r, " claimz", "accepted"), "unsupported AuditEntityKind: ' claimz'"),
        (lambda s, r: s.annotate_audit_entity(r, "claim", "acepted"), "unsupported AuditEntityStatus: 'acepted'"),
        (lambda s, r: s.link_audit_entities(r, r, "used-by"), "unsupported AuditRelationKind: 'used-by'"),
    ],
)
def test_unknown_names_are_value_errors(store, call, message):
    rid = store.store("some record")
    with pytest.raises(ValueError) as caught:
        call(store, rid)
    assert str(caught.value) == message


def test_status_windows(store):
    rid = store.store("the deploy window is friday")
    store.annotate_audit_entity(rid, "claim", "accepted", canonical_id="e")
    now = time.time()
    node = store.set_audit_entity_status("e", "rejected", valid_from=now + 3600)
    assert node["status"] == "rejected"
    assert store.audit_graph()["nodes"][0]["status"] == "accepted"
    assert store.audit_graph(valid_at=now + 3600)["nodes"][0]["status"] == "rejected"
    # A window already ended answers the status still in effect.
    assert store.set_audit_entity_status("e", "blocked", now - 20, now - 10)["status"] == "accepted"
    with pytest.raises(RuntimeError, match="^valid_from must be earlier than valid_until$"):
        store.set_audit_entity_status("e", "blocked", valid_from=now, valid_until=now)
    with pytest.raises(RuntimeError, match="^valid_until must be finite$"):
        store.set_audit_entity_status("e", "blocked", valid_until=float("nan"))
    with pytest.raises(TypeError, match="argument 'valid_from'"):
        store.set_audit_entity_status("e", "blocked", valid_from="soon")
    assert [e["s"] for e in _events(store, rid)] == ["accepted", "rejected", "blocked"]


def test_links(store):
    claim = store.store("the kiln fires at 1240")
    memory = store.store("last firing reached 1238")
    store.annotate_audit_entity(claim, "claim", "accepted")
    store.annotate_audit_entity(memory, "memory", "observed")
    with pytest.raises(RuntimeError, match="^relation 'derived_from' is invalid for claim -> memory$"):
        store.link_audit_entities(claim, memory, "derived_from")
    with pytest.raises(RuntimeError, match="^self-referential audit edges are not allowed$"):
        store.link_audit_entities(claim, claim, "supports")

    first = store.link_audit_entities(memory, claim, "supports")
    assert list(first) == EDGE_KEYS
    assert (first["from_record_id"], first["to_entity_id"], first["relation"]) == (memory, claim, "supports")
    assert isinstance(first["recorded_at"], float) and first["valid_until"] is None
    assert store.link_audit_entities(memory, claim, "supports")["recorded_at"] == first["recorded_at"]
    assert len(store.audit_graph()["edges"]) == 1

    store.link_audit_entities(memory, claim, "refutes")
    assert [e["relation"] for e in store.audit_graph()["edges"]] == ["supports", "refutes"]
    for a, b in ((memory, claim), (claim, memory)):
        record = store.get(a)
        assert record.connection_types[b] == "refutes" and record.connections[b] == 1.0


def test_graph_shape_filters_and_errors(store):
    assert store.audit_graph(valid_at=12) == {"schema_version": 1, "evaluated_at": 12.0, "namespace": None,
                                              "nodes": [], "edges": []}
    assert list(store.audit_graph()) == ["schema_version", "evaluated_at", "namespace", "nodes", "edges"]
    with pytest.raises(RuntimeError, match="^evaluated_at must be finite$"):
        store.audit_graph(valid_at=float("nan"))
    with pytest.raises(TypeError, match="argument 'namespace'"):
        store.audit_graph(namespace=1)

    long_text = "x" * 241
    here = store.store(long_text, namespace="work")
    there = store.store("kept at home", namespace="home")
    store.annotate_audit_entity(here, "claim", "accepted")
    store.annotate_audit_entity(there, "memory", "observed")
    [node] = store.audit_graph(namespace="work")["nodes"]
    assert node["content_preview"] == "x" * 240 + "\u2026"
    assert store.audit_graph(namespace="work")["namespace"] == "work"
    assert store.audit_graph(namespace="nowhere")["nodes"] == []
    assert len(store.audit_graph()["nodes"]) == 2
    with pytest.raises(RuntimeError, match=r"^cannot link audit entities across namespaces \('home' vs 'work'\)$"):
        store.link_audit_entities(there, here, "supports")


def test_the_graph_survives_a_reopen(tmp_path):
    path = str(tmp_path / "store")
    with Vesk(path) as v:
        claim = v.store("the glaze is food safe")
        memory = v.store("the lab report came back clean")
        v.annotate_audit_entity(claim, "claim", "verified", canonical_id="glaze-safe")
        v.annotate_audit_entity(memory, "memory", "observed")
        v.link_audit_entities(memory, "glaze-safe", "supports")
        at = time.time() + 1
        graph = v.audit_graph(valid_at=at)
    with Vesk(path) as v:
        assert v.audit_graph(valid_at=at) == graph
        assert [n["entity_id"] for n in graph["nodes"]] == sorted(["glaze-safe", memory])


def test_a_change_empties_the_recall_caches(store):
    rid = store.store("the harbour crane needs new cables")
    store.recall_structured("harbour crane")
    store.recall_structured("harbour crane")
    assert store.get(rid).activation_count == 1
    store.annotate_audit_entity(rid, "claim", "accepted")
    store.recall_structured("harbour crane")
    assert store.get(rid).activation_count == 2
