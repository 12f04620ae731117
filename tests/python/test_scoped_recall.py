"""Scoped context recalls: a query over the records of an entity, of an
entity and its neighbours, of the family graph, of one person, of one
record with its typed relations and of one project."""

import json
import time

import pytest

from vesk._core import Level

ITEM_KEYS = ["id", "content", "score", "level", "strength", "tags", "source_type", "metadata"]


def _put(store, text, entity=None, **kw):
    metadata = dict(kw.pop("metadata", {}))
    if entity is not None:
        metadata["entity_id"] = entity
    return store.store(text, level=kw.pop("level", Level.Working), metadata=metadata, auto_promote=False,
                       deduplicate=False, **kw)


def _retrieves(tmp_path):
    path = tmp_path / "store" / "brain.audit"
    if not path.exists():
        return []
    lines = [json.loads(line)["action"] for line in path.read_text().splitlines()]
    return [a["retrieve"] for a in lines if "retrieve" in a]


def test_lookup_failures_raise_and_leave_no_trace(store, tmp_path):
    plain = _put(store, "a note without an entity about the kiln")
    _put(store, "the kiln of entity one", entity="e1")
    calls = [
        (store.recall_entity_context, ("nope", "kiln"), "Entity nope not found"),
        (store.recall_entity_graph_context, ("nope", "kiln"), "Entity nope not found"),
        (store.recall_entity_context_for_record, ("missing", "kiln"), "Record missing has no entity_id"),
        (store.recall_entity_context_for_record, (plain, "kiln"), f"Record {plain} has no entity_id"),
        (store.recall_family_context, ("kiln",), "Family graph not found"),
        (store.recall_person_context, (plain, "kiln"), f"Person digest not found for {plain}"),
        (store.recall_relation_context, ("missing", "kiln"), "Relation digest not found for missing"),
        (store.recall_project_context, ("p9", "kiln"), "Project p9 not found"),
    ]
    before = [(r.id, r.activation_count, r.strength) for r in store.search()]
    for method, args, message in calls:
        with pytest.raises(RuntimeError) as e:
            method(*args)
        assert str(e.value) == message
    # A profile record of another namespace is no family graph of "default".
    store.store("I am the user", level=Level.Identity, tags=["user-profile"], namespace="home")
    with pytest.raises(RuntimeError, match="^Family graph not found$"):
        store.recall_family_context("kiln", namespace="default")
    with pytest.raises(TypeError):
        store.recall_family_context("kiln", namespace=["home"])
    assert _retrieves(tmp_path) == []
    assert [(r.id, r.activation_count, r.strength) for r in store.search()] == before


def test_entity_context_items_and_bookkeeping(store, tmp_path):
    ids = [_put(store, f"kiln firing note number {i}", entity="e1", tags=["kiln"], metadata={"step": str(i)})
           for i in range(12)]
    expired = _put(store, "kiln firing note that expired", entity="e1", tags=["kiln"], valid_from=time.time() - 100,
                   valid_until=time.time() - 10)
    outside = _put(store, "kiln firing note of another entity", entity="e2")
    for i in ids + [expired]:
        store.update(i, strength=0.5)
    hits = store.recall_hit_stats()
    before = {i: store.get(i).activation_count for i in ids + [expired]}

    items = store.recall_entity_context("e1", "kiln firing note")
    assert 0 < len(items) <= 10
    for item in items:
        assert list(item) == ITEM_KEYS
        assert item["level"] == "WORKING" and item["tags"] == ["kiln"]
        assert item["strength"] == pytest.approx(0.5)  # the value before the activation
        assert isinstance(item["score"], float) and isinstance(item["source_type"], str)
        assert item["metadata"]["entity_id"] == "e1"
        after = store.get(item["id"])
        assert (after.activation_count, after.strength) == (before[item["id"]] + 1, pytest.approx(0.7))
    assert outside not in {i["id"] for i in items}
    assert [i["score"] for i in items] == sorted((i["score"] for i in items), reverse=True)
    assert store.recall_hit_stats() == hits
    assert _retrieves(tmp_path) == [{"query_preview": "kiln firing note", "results_count": len(items)}]

    # No validity filter: the expired record of the entity can come back.
    assert [i["id"] for i in store.recall_entity_context("e1", "expired")][:1] == [expired]
    assert store.recall_entity_context("e1", "kiln firing note", min_strength=1.5) == []
    assert store.recall_entity_context("e1", "kiln firing note", top_k=0) == []
    assert _retrieves(tmp_path)[-1] == {"query_preview": "kiln firing note", "results_count": 0}
    # The record form finds the entity through the record's metadata.
    assert store.recall_entity_context_for_record(ids[0], "expired")[0]["id"] == expired


def test_entity_graph_context_follows_edges_in_the_entity_namespace(store):
    _put(store, "alice runs the pottery studio", entity="alice")
    bob = _put(store, "bob glazes the bowls", entity="bob")
    carol = _put(store, "carol glazes the vases", entity="carol")
    store.link_entities("alice", "bob", "works_with")
    store.link_entities("alice", "carol", "works_with")
    store.move_record(carol, "elsewhere")

    assert bob not in {i["id"] for i in store.recall_entity_context("alice", "glazes")}
    graph = {i["id"] for i in store.recall_entity_graph_context("alice", "glazes")}
    assert bob in graph and carol not in graph
    assert bob not in {i["id"] for i in store.recall_entity_graph_context("alice", "glazes", limit=0)}


def test_family_and_person_context(store):
    profile = store.store("I am the user and I like hiking", level=Level.Identity, tags=["user-profile"])
    sister = store.store_family_person("family.sister", "My sister Anna likes hiking in Oslo")
    brother = store.store_family_person("family.brother", "My brother Tom likes hiking too")
    unrelated = _put(store, "hiking boots need new laces")

    family = {i["id"] for i in store.recall_family_context("hiking")}
    assert family == {profile, sister, brother}
    assert {i["id"] for i in store.recall_family_context("hiking", namespace="default")} == family
    assert {i["id"] for i in store.recall_person_context(sister, "hiking")} == {profile, sister}
    for not_a_member in (profile, unrelated):
        with pytest.raises(RuntimeError, match=f"^Person digest not found for {not_a_member}$"):
            store.recall_person_context(not_a_member, "hiking")


def test_relation_context_scope(store):
    anchor = _put(store, "the kiln manual")
    linked = _put(store, "the kiln warranty")
    moved = _put(store, "the kiln invoice")
    other = _put(store, "the kiln supplier")
    store.link_records(anchor, linked, "supports")
    store.link_records(moved, anchor, "refers_to")
    store.move_record(moved, "elsewhere")

    assert {i["id"] for i in store.recall_relation_context(anchor, "kiln")} == {anchor, linked}
    assert {i["id"] for i in store.recall_relation_context(other, "kiln")} == {other}


def test_project_context_settles_the_anchor_and_keeps_its_namespace(store):
    pid = store.start_research("Glazes", "quick")["id"]
    before = store.count()
    # The research project gets its anchor record from the recall itself.
    store.recall_project_context(pid, "celadon")
    assert store.count() == before + 1
    anchor = store.get_project_graph(pid).project_record_id
    assert store.count() == before + 1
    note = store.store_project_note(pid, "the celadon glaze note")
    stray = _put(store, "the celadon glaze in another namespace", metadata={"project_id": pid}, namespace="elsewhere")
    _put(store, "the celadon glaze of no project")
    found = {i["id"] for i in store.recall_project_context(pid, "celadon glaze")}
    assert note in found and stray not in found and found <= {anchor, note}
