"""The embedding function and stored embeddings from Python."""

import math

import pytest

# A tiny deterministic embedder: one axis per topic, so that texts on one
# topic lie close together whatever their words.
TOPICS = [
    {"fruit", "apples", "orchard", "ripen", "pears"},
    {"car", "automobile", "tyres", "vehicle", "engine"},
    {"budget", "quarterly", "money", "review"},
]


def embed(text):
    words = set(text.lower().split())
    return [float(len(words & topic)) for topic in TOPICS] + [0.1]


def test_store_embedding_refusals(store):
    rid = store.store("a record")
    assert store.has_embeddings() is False
    cases = [
        ("missing00000", [1.0, 2.0], "Embedding record not found"),
        (rid, [], "Embedding must be nonempty and finite"),
        (rid, [1.0, math.nan, 3.0], "Embedding must be nonempty and finite"),
    ]
    for record_id, vector, message in cases:
        with pytest.raises(ValueError) as e:
            store.store_embedding(record_id, vector)
        assert str(e.value) == message
    assert store.has_embeddings() is False
    assert store.store_embedding(rid, [1.0, 2.0]) is None
    assert store.has_embeddings() is True
    with pytest.raises(ValueError) as e:
        store.store_embedding(rid, [1.0, 2.0, 3.0])
    assert str(e.value) == "Embedding dimension mismatch"
    with pytest.raises(TypeError):
        store.store_embedding(rid, "12")


def test_a_non_callable_embedding_function_is_harmless(store):
    assert store.set_embedding_fn(42) is None
    rid = store.store("the kiln reaches 1200 degrees")
    store.store_embedding(rid, [1.0, 0.0])
    assert "kiln" in store.recall("kiln degrees")
    assert store.clear_embedding_fn() is None
    assert store.has_embeddings() is True


def test_recall_finds_a_record_by_its_vector_alone(store):
    apples = store.store("the orchard apples ripen")
    store.store("automobile needs new tyres")
    store.store("quarterly budget review meeting")
    # The lexical signals find nothing for this query.
    assert store.recall_structured("fruit") == []
    assert store.recall("fruit") == ""

    store.set_embedding_fn(embed)
    for rid, text in ((r["id"], r["content"]) for r in store.recall_structured("orchard automobile quarterly")):
        store.store_embedding(rid, embed(text))
    late = store.store("ripe pears in the orchard")  # embedded on store
    found = [r["id"] for r in store.recall_structured("fruit")]
    assert found[:2] in ([apples, late], [late, apples])
    assert "the orchard apples ripen" in store.recall("fruit")

    # Without the function the query gets no vector again.
    store.clear_embedding_fn()
    assert store.recall_structured("fruit") == []


def cosine(a, b):
    dot = sum(x * y for x, y in zip(a, b))
    return dot / (math.sqrt(sum(x * x for x in a)) * math.sqrt(sum(y * y for y in b)))


def by_cosine(store, ids, query_vector, embed_fn):
    """The ids in the order of a plain cosine of their records' texts."""
    texts = {rid: store.get(rid).content for rid in ids}
    return sorted(ids, key=lambda rid: -cosine(query_vector, embed_fn(texts[rid])))


def test_a_small_namespace_gets_its_own_nearest_records(store):
    # Every "big" record lies nearer the query than any "small" record.
    def embed(text):
        kind, number = text.split()
        if kind == "big":
            return [1.0, 0.001 * int(number)]
        if kind == "small":
            return [1.0, 1.0 + int(number)]
        return [1.0, 0.0]

    store.set_embedding_fn(embed)
    for i in range(300):
        store.store(f"big {i}", namespace="big")
    small = [store.store(f"small {i}", namespace="small") for i in range(5)]
    store.set_recall_fusion_mode("embedding_only")

    found = store.recall_structured("query vector", top_k=5, namespace="small")
    assert [r["id"] for r in found] == by_cosine(store, small, [1.0, 0.0], embed)
    assert len(found) == 5


def test_an_expired_record_leaves_its_place_in_the_embedding_ranking_to_the_next(store):
    def embed(text):
        words = text.split()
        return [1.0, 0.01 * int(words[1])] if words[0] == "note" else [1.0, 0.0]

    store.set_embedding_fn(embed)
    # top_k 100 asks the embedding ranking for exactly 100 records.
    expired = store.store("note 0", valid_until=1.0)  # ended in 1970
    valid = [store.store(f"note {i}") for i in range(1, 101)]
    store.set_recall_fusion_mode("embedding_only")

    found = [r["id"] for r in store.recall_structured("query vector", top_k=100)]
    assert expired not in found
    assert found == by_cosine(store, valid, [1.0, 0.0], embed)  # "note 100", the farthest, included


def test_one_namespace_ranks_as_a_plain_cosine_over_every_stored_vector(store):
    # Sixty directions round the circle: about half lie within 90 degrees of
    # the query, none at the same angle from it.
    def embed(text):
        words = text.split()
        if words[0] != "direction":
            return [1.0, 0.3]
        angle = 2.0 * math.pi * int(words[1]) / 60.0
        return [math.cos(angle), math.sin(angle)]

    store.set_embedding_fn(embed)
    ids = [store.store(f"direction {i}") for i in range(60)]
    store.set_recall_fusion_mode("embedding_only")

    texts = {rid: store.get(rid).content for rid in ids}
    positive = [rid for rid in ids if cosine([1.0, 0.3], embed(texts[rid])) > 0]
    found = [r["id"] for r in store.recall_structured("query vector", top_k=50)]
    assert found == by_cosine(store, positive, [1.0, 0.3], embed)
    assert 25 <= len(found) < 50
