"""Local entities from Python: anchors, the typed edges between entities, the
entity link, and the digests of an entity and its graph."""

import re

import numpy as np
import pytest

from vesk._core import EntityDigest, EntityGraphDigest, EntityRelationEdge, Level, Vesk


def f32(x):
    return float(np.float32(x))


def ent(store, entity, content, **kw):
    md = dict(kw.pop("metadata", {}))
    md["entity_id"] = entity
    kw.setdefault("auto_promote", False)
    return store.store(content, metadata=md, **kw)


def edges(store, entity, limit=None):
    return [
        (e.target_entity_id, e.relation_type, e.weight, e.source_record_id, e.target_record_id)
        for e in store.get_entity_relations(entity, limit)
    ]


def test_one_edge_per_target_and_type_the_heaviest(store):
    a1, a2 = ent(store, "A", "alice one"), ent(store, "A", "alice two")
    b1, b2 = ent(store, "B", "bob one"), ent(store, "B", "bob two")
    plain = store.store("a record of no entity")
    store.connect(a1, b1, 0.6, "knows")
    store.connect(a2, b2, 0.9, "knows")
    store.connect(a1, a2, 0.9, "same")  # one entity: no edge
    store.connect(a1, plain, 0.9, "sees")  # target without entity: no edge
    assert edges(store, "A") == [("B", "knows", f32(0.9), a2, b2)]
    e = store.get_entity_relations("A")[0]
    assert isinstance(e, EntityRelationEdge)
    assert (e.source_entity_id, e.namespace) == ("A", "default")
    assert store.get_entity_relations("A", 0) == []
    assert store.get_entity_relations("unknown") == []


def test_edges_sort_by_weight_then_target_and_equal_weights_keep_the_anchor_pair(store):
    # The non-anchor record comes first in the scan.
    a_other = ent(store, "A", "another record of A")
    a = ent(store, "A", "the anchor of A", level=Level.Identity)
    targets = {}
    for name in ("D", "C", "B"):
        targets[name] = ent(store, name, f"the anchor of {name}", level=Level.Identity)
    b_other = ent(store, "B", "another record of B")
    store.connect(a, targets["D"], 0.9, "knows")
    store.connect(a, targets["C"], 0.9, "knows")
    store.connect(a, targets["B"], 0.5, "knows")
    assert [t for t, *_ in edges(store, "A")] == ["C", "D", "B"]
    assert [t for t, *_ in edges(store, "A", 2)] == ["C", "D"]

    # Equal weights: the candidate joining the two anchors is reported,
    # whichever of the pair the scan meets first.
    store.connect(a_other, b_other, 0.5, "knows")
    assert edges(store, "A")[-1] == ("B", "knows", f32(0.5), a, targets["B"])


def test_anchor_choice(store):
    plain_domain = ent(store, "E", "a domain fact", level=Level.Domain)
    ent(store, "E", "a working fact")
    assert store.get_entity_graph_digest("E").anchor_record_id == plain_domain
    identity = ent(store, "E", "an identity fact", level=Level.Identity)
    assert store.get_entity_graph_digest("E").anchor_record_id == identity
    profile = ent(store, "E", "the user profile", tags=["user-profile"])
    assert store.get_entity_graph_digest("E").anchor_record_id == profile
    project = ent(store, "E", "the project anchor", tags=["research-project"])
    assert store.get_entity_graph_digest("E").anchor_record_id == project


def test_link_entities(store):
    a = ent(store, "A", "the anchor of A", level=Level.Identity)
    b = ent(store, "B", "the anchor of B", level=Level.Identity)
    ent(store, "W", "an entity at work", namespace="work")
    cases = [
        (("e", "e", " "), "Cannot link entity to itself"),
        (("nope", "B", "x"), "Source entity nope not found"),
        (("A", "nope", "x"), "Target entity nope not found"),
        (("A", "B", "  "), "Relation type must not be empty"),
        (("A", "B", "x", float("nan")), "Relation weight must not be NaN"),
        (("A", "W", "x"), "Cannot link records across namespaces: default vs work"),
    ]
    for args, message in cases:
        with pytest.raises(RuntimeError, match="^" + re.escape(message) + "$"):
            store.link_entities(*args)
    assert store.get(a).connections == {}

    e = store.link_entities("A", "B", "works_with")
    assert (e.source_entity_id, e.target_entity_id, e.relation_type, e.weight, e.namespace) == (
        "A", "B", "works_with", f32(0.8), "default")
    assert (e.source_record_id, e.target_record_id) == (a, b)
    assert edges(store, "A") == [("B", "works_with", f32(0.8), a, b)]
    assert edges(store, "B") == [("A", "works_with", f32(0.8), b, a)]


@pytest.mark.parametrize("weight, anchors_linked", [(0.9, True), (0.8, True), (0.5, False)])
def test_a_strong_member_link_links_the_anchors(store, weight, anchors_linked):
    a = ent(store, "A", "the anchor of A", level=Level.Identity)
    b = ent(store, "B", "the anchor of B", level=Level.Identity)
    a_member, b_member = ent(store, "A", "a note on A"), ent(store, "B", "a note on B")
    store.link_records(a_member, b_member, "mentions", weight)
    assert (b in store.get(a).connections) == anchors_linked
    assert (a in store.get(b).connections) == anchors_linked
    if anchors_linked:
        # Two equally heavy candidates for one key: the anchor pair is kept.
        assert edges(store, "A") == [("B", "mentions", f32(weight), a, b)]


def test_entity_digest(store):
    r1 = ent(store, "E", "first fact", tags=["x", "x"], level=Level.Identity)
    r2 = ent(store, "E", "second fact", tags=["y"])
    elsewhere = ent(store, "E", "the same id at work", namespace="work")
    other = ent(store, "F", "another entity")
    store.connect(r1, other, 0.5, "knows")
    d = store.get_entity_digest("E")
    assert isinstance(d, EntityDigest)
    assert (d.entity_id, d.namespace, d.record_ids) == ("E", "default", sorted([r1, r2]))
    assert (d.tags, d.levels, d.relation_count) == ({"x": 2, "y": 1}, {"IDENTITY": 1, "WORKING": 1}, 1)
    # The work record's entity resolves to the namespace of the first record.
    assert store.get_entity_digest_for_record(elsewhere).record_ids == d.record_ids
    assert store.get_entity_digest_for_record(r2).entity_id == "E"
    for missing in (store.get_entity_digest("unknown"), store.get_entity_digest_for_record("unknown"),
                    store.get_entity_digest_for_record(store.store("no entity here"))):
        assert missing is None


def test_graph_digest_rows_and_neighbours(store):
    a = ent(store, "A", "the anchor of A", level=Level.Identity)
    b = ent(store, "B", "the anchor of B", level=Level.Identity)
    b2, b3 = ent(store, "B", "second of B"), ent(store, "B", "third of B")
    c = ent(store, "C", "the anchor of C", level=Level.Identity)
    d = ent(store, "D", "the anchor of D", level=Level.Identity)
    store.connect(a, b, 0.3, "knows")
    store.connect(a, b2, 0.9, "family.cousin")
    store.connect(a, b3, 0.5, "works_with")
    store.connect(a, c, 0.9, "knows")
    store.connect(a, d, 0.4, "knows")

    g = store.get_entity_graph_digest("A")
    assert isinstance(g, EntityGraphDigest)
    assert (g.entity.entity_id, g.anchor_record_id, g.neighbor_count) == ("A", a, 3)
    assert g.relation_types == {"knows": 3, "family.cousin": 1, "works_with": 1}
    rows = [(n.entity_id, n.anchor_record_id, n.record_count, n.relation_count, n.relation_types, n.strongest_weight)
            for n in g.neighbors]
    assert rows == [
        ("B", b, 3, 3, {"knows": 1, "family.cousin": 1, "works_with": 1}, f32(0.9)),
        ("C", c, 1, 1, {"knows": 1}, f32(0.9)),
        ("D", d, 1, 1, {"knows": 1}, f32(0.4)),
    ]
    assert len(g.edges) == 5
    assert store.get_entity_graph_digest_for_record(b2).anchor_record_id == b

    empty = store.get_entity_graph_digest("A", 0)
    assert (empty.edges, empty.neighbors, empty.neighbor_count) == ([], [], 0)
    ent(store, "L", "a lonely entity")
    lone = store.get_entity_graph_digest("L")
    assert (lone.entity.relation_count, lone.edges, lone.relation_types, lone.neighbors) == (0, [], {}, [])

    def names(**kw):
        return [x.entity.entity_id for x in store.get_entity_graph_neighbors("A", **kw)]

    cases = [
        ({}, ["B", "C", "D"]),
        ({"top_n": 2}, ["B", "C"]),
        ({"top_n": 0}, []),
        ({"min_weight": 0.9}, ["B", "C"]),
        ({"min_weight": 0.95}, []),
        ({"min_weight": float("nan")}, []),
        ({"relation_type_filter": "family."}, ["B"]),
        ({"relation_type_filter": "FAMILY."}, []),
        ({"relation_type_filter": ""}, ["B", "C", "D"]),
        ({"edge_limit": 0}, []),
    ]
    for kw, expected in cases:
        assert names(**kw) == expected, kw
    for missing in (store.get_entity_graph_digest("unknown"), store.get_entity_graph_digest_for_record("unknown")):
        assert missing is None
    assert store.get_entity_graph_neighbors("unknown") == []


def test_entity_links_survive_reopen(tmp_path):
    path = str(tmp_path / "store")
    with Vesk(path) as v:
        a = ent(v, "A", "the anchor of A")
        b = ent(v, "B", "the anchor of B")
        v.link_entities("A", "B", "works_with", 0.7)
    with Vesk(path) as v:
        assert edges(v, "A") == [("B", "works_with", f32(0.7), a, b)]
