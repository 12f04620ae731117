"""Typed relations between records from Python: the typed link, the edge
listings with their orientation rules, and the digest of one record."""

import re

import numpy as np
import pytest

from vesk._core import RelationDigest, RelationEdge, StructuralRelation, Vesk


def f32(x):
    return float(np.float32(x))


def edge_tuple(e):
    return (e.source_record_id, e.target_record_id, e.relation_type, e.weight, e.namespace, e.structural)


def test_link_records_weight_type_and_result(store):
    a, b = store.store("first record"), store.store("second record")
    cases = [
        (None, "mentor of", f32(0.8)),
        (1.7, "mentor of", 1.0),
        (-0.3, "mentor of", 0.0),
        (float("inf"), "peer", 1.0),
        (0.5, " mentor of ", 0.5),
        (1, "family.brother", 1.0),
    ]
    for weight, rtype, stored in cases:
        edge = store.link_records(a, b, rtype, weight)
        assert isinstance(edge, RelationEdge)
        assert edge_tuple(edge) == (a, b, rtype, stored, "default", rtype.startswith("family."))
        for x, y in ((a, b), (b, a)):
            r = store.get(x)
            assert (r.connections[y], r.connection_types[y]) == (stored, rtype)


def test_link_records_refusals_change_nothing(store):
    a, b = store.store("first record"), store.store("second record")
    w = store.store("work record", namespace="work")
    cases = [
        ((a, a, " "), "Cannot link record to itself"),
        ((a, b, " \t"), "Relation type must not be empty"),
        ((a, b, "x", float("nan")), "Relation weight must not be NaN"),
        (("nope", b, "x"), "Source record nope not found"),
        ((a, "gone", "x"), "Target record gone not found"),
        ((a, w, "x"), "Cannot link records across namespaces: default vs work"),
    ]
    for args, message in cases:
        with pytest.raises(RuntimeError, match="^" + re.escape(message) + "$"):
            store.link_records(*args)
    assert store.get(a).connections == {} and store.get(b).connections == {}
    with pytest.raises(TypeError):
        store.link_records(a, b, 3)
    with pytest.raises((TypeError, ValueError, OverflowError)):
        store.get_relations(limit=-1)


def test_listings_orientation_and_limits(store):
    a, b = sorted([store.store("alpha note"), store.store("beta note")])
    store.link_records(b, a, "peer_of", 0.6)
    # Held both ways with one type: once in the all-records scan, from the
    # smaller id; each one-record scan gives its own direction.
    assert [edge_tuple(e) for e in store.get_relations()] == [(a, b, "peer_of", f32(0.6), "default", False)]
    assert [(e.source_record_id, e.target_record_id) for e in store.get_relations_for_record(a)] == [(a, b)]
    assert [(e.source_record_id, e.target_record_id) for e in store.get_relations_for_record(b)] == [(b, a)]
    assert store.get_structural_relations() == []

    # A repeated link changes nothing; the limit is tested after the append.
    c = store.store("gamma note")
    store.link_records(a, c, "likes", 0.4)
    store.link_records(a, c, "likes", 0.4)
    assert len(store.get_relations()) == 2
    assert len(store.get_relations(limit=0)) == 1
    assert len(store.get_relations(limit=1)) == 1
    assert store.get_relations_for_record("unknown") == []
    assert store.get_structural_relations_for_record("unknown") == []


def test_structural_relations_run_from_the_anchor(store):
    profile = store.store("I am the user", tags=["user-profile"])
    person = store.store("Tom is a chess player", metadata={"family_relation": "family.brother"})
    project = store.store("project one", tags=["research-project"], metadata={"project_id": "p1"})
    member = store.store("a finding of the project", metadata={"project_id": "p1"})

    got = {(s.source_record_id, s.target_record_id, s.relation_type, s.weight) for s in store.get_structural_relations()}
    assert got == {
        (profile, person, "family.brother", f32(0.95)),
        (project, member, "belongs_to_project", f32(0.92)),
    }
    for rid in (profile, person):
        rel = store.get_structural_relations_for_record(rid)
        assert [(s.source_record_id, s.target_record_id) for s in rel] == [(profile, person)]
        assert isinstance(rel[0], StructuralRelation) and rel[0].evidence_record_ids == []
    rel = store.get_structural_relations_for_record(member)
    assert [(s.source_record_id, s.target_record_id) for s in rel] == [(project, member)]


def test_relation_digest(store):
    a = store.store("the anchor", tags=["t1", "t1"])
    b, c = store.store("first neighbour"), store.store("second neighbour")
    assert store.get_relation_digest("unknown") is None
    empty = store.get_relation_digest(b)
    assert (empty.relation_count, empty.relation_types, empty.linked_record_ids, empty.edges) == (0, {}, [], [])

    store.link_records(a, b, "peer_of")
    store.link_records(a, c, "family.sister")
    d = store.get_relation_digest(a)
    assert isinstance(d, RelationDigest)
    assert (d.anchor_record_id, d.namespace, d.anchor_tags, d.anchor_content) == (a, "default", ["t1", "t1"], "the anchor")
    assert (d.relation_count, d.structural_relations, d.non_structural_relations) == (2, 1, 1)
    assert d.relation_types == {"peer_of": 1, "family.sister": 1}
    assert sorted(d.linked_record_ids) == sorted([b, c])
    assert [e.source_record_id for e in d.edges] == [a, a]
    assert store.get_relation_digest(a, 0).relation_count == 1


def test_links_survive_reopen(tmp_path):
    path = str(tmp_path / "store")
    with Vesk(path) as v:
        a, b = v.store("first record"), v.store("second record")
        v.link_records(a, b, " mentor of ", 0.7)
    with Vesk(path) as v:
        assert [edge_tuple(e) for e in v.get_relations_for_record(a)] == [(a, b, " mentor of ", f32(0.7), "default", False)]
        assert [edge_tuple(e) for e in v.get_relations_for_record(b)] == [(b, a, " mentor of ", f32(0.7), "default", False)]
