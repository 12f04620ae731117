"""Family memory: person records tied to the user's profile record, and the
family graph and person digest read back from the profile's connections."""

import struct

import pytest

from vesk._core import FamilyGraphSnapshot, Level, PersonDigest


def f32(x):
    return struct.unpack("f", struct.pack("f", x))[0]


def profile(store, namespace=None):
    return store.store("I am the user", level=Level.Identity, tags=["user-profile"], namespace=namespace)


@pytest.mark.parametrize("relation_type", ["brother", "Family.brother", "family", ""])
def test_invalid_relation_type_stores_nothing(store, relation_type):
    profile(store)
    before = store.count()
    with pytest.raises(RuntimeError) as e:
        store.store_family_person(relation_type, "x")
    assert str(e.value) == f"Invalid family relation type: {relation_type}"
    assert store.count() == before


def test_person_record_and_graph(store):
    pid = profile(store)
    sid = store.store_family_person("family.sister", "My sister Anna lives in Oslo")
    s = store.get(sid)
    assert (s.tags, s.level, s.namespace, s.pinned) == (["family"], Level.Identity, "default", False)
    assert s.metadata["family_relation"] == "family.sister"
    assert s.metadata["entity_id"] == "person:family.sister:my-sister-anna-lives-in-oslo"
    assert s.metadata["profile_record_id"] == pid

    g = store.get_family_graph()
    assert isinstance(g, FamilyGraphSnapshot)
    assert (g.namespace, g.profile_record_id, g.relation_count, g.relation_types) == (
        "default", pid, 1, {"family.sister": 1})
    [m] = g.members
    assert (m.record_id, m.relation_type, m.weight, m.tags, m.content) == (
        sid, "family.sister", f32(0.95), ["family"], "My sister Anna lives in Oslo")
    assert [m.record_id for m in store.get_family_graph("default").members] == [sid]

    d = store.get_person_digest(sid)
    assert isinstance(d, PersonDigest)
    assert (d.namespace, d.profile_record_id, d.person_record_id, d.relation_type, d.weight,
            d.person_tags, d.person_content) == (
        "default", pid, sid, "family.sister", f32(0.95), ["family"], "My sister Anna lives in Oslo")
    assert store.get_person_digest(pid) is None
    # Any record of the namespace gives its namespace's graph.
    other = store.store("an unrelated note about the weather today")
    assert store.get_family_graph_for_record(other).profile_record_id == pid
    assert store.get_person_digest(other) is None


@pytest.mark.parametrize("metadata, entity_id", [
    ({"name": "Anna"}, "person:family.sister:anna"),
    ({"name": "Mary-Jane O'Neil"}, "person:family.sister:mary-jane-o-neil"),
    ({"name": "   "}, "person:family.sister:my-sister-anna"),
    ({"entity_id": "sister-1"}, "sister-1"),
    ({"name": "Άννα"}, None),
])
def test_entity_id(store, metadata, entity_id):
    content = "Άννα" if entity_id is None else "My sister Anna"
    m = store.get(store.store_family_person("family.sister", content, metadata)).metadata
    assert m.get("entity_id") == entity_id


def test_members_sorted_by_type_then_id(store):
    profile(store)
    ids = [store.store_family_person(t, f"person {i}") for i, t in enumerate(
        ["family.sister", "family.brother", "family.father", "family.brother", "family."])]
    g = store.get_family_graph()
    rows = [(m.relation_type, m.record_id) for m in g.members]
    assert rows == sorted(rows) and len(rows) == 5
    assert set(r for _, r in rows) == set(ids)
    assert g.relation_types == {"family.sister": 1, "family.brother": 2, "family.father": 1, "family.": 1}
    assert g.relation_count == sum(g.relation_types.values())


def test_namespace_without_profile_until_one_is_stored(store):
    assert store.get_family_graph() is None
    pid_default = profile(store)
    bid = store.store_family_person("family.brother", "my brother Tom", namespace="home")
    b = store.get(bid)
    # The default namespace's profile is the anchor of a call without a
    # namespace only; with one, that namespace's anchor is looked for.
    assert b.namespace == "home" and "profile_record_id" not in b.metadata
    assert store.get_family_graph("home") is None
    assert store.get_family_graph_for_record(bid) is None
    assert store.get_person_digest(bid) is None

    hid = profile(store, namespace="home")
    g = store.get_family_graph("home")
    assert g.profile_record_id == hid and [m.record_id for m in g.members] == [bid]
    assert store.get_person_digest(bid).profile_record_id == hid
    assert store.get_family_graph("default").profile_record_id == pid_default


def test_person_without_namespace_joins_the_first_profile(store):
    hid = profile(store, namespace="home")
    sid = store.store_family_person("family.son", "my son Leo")
    assert store.get(sid).namespace == "home"
    assert store.get(sid).metadata["profile_record_id"] == hid
    assert [m.record_id for m in store.get_family_graph().members] == [sid]


def test_bad_arguments_store_nothing(store):
    profile(store)
    before = store.count()
    with pytest.raises(TypeError):
        store.store_family_person("family.son", "x", {"name": 1})
    with pytest.raises(RuntimeError):
        store.store_family_person("family.son", "")
    with pytest.raises(RuntimeError):
        store.store_family_person("family.son", "x", namespace="bad namespace")
    assert store.count() == before
