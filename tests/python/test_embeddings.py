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
