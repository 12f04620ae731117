"""Point-in-time recall from Python: transaction time and business time."""

import math
import time

import pytest

ITEM_KEYS = ["id", "content", "score", "level", "strength", "tags", "created_at", "valid_from", "valid_until",
             "superseded_at", "source_type"]


@pytest.mark.parametrize("method", ["recall_at", "recall_as_of"])
@pytest.mark.parametrize("t", [math.nan, math.inf, -math.inf])
def test_non_finite_timestamp_is_refused(store, method, t):
    rid = store.store("the harbour crane needs new cables")
    with pytest.raises(RuntimeError, match="^timestamp must be a finite Unix timestamp$"):
        getattr(store, method)("harbour crane", t)
    assert store.get(rid).activation_count == 0


@pytest.mark.parametrize("method", ["recall_at", "recall_as_of"])
def test_validity_bounds_lower_inclusive_upper_exclusive(store, method):
    now = time.time()
    t = now + 1000.0
    ended = store.store("the harbour crane lease ended", valid_until=t)
    started = store.store("the harbour crane lease started", valid_from=t)
    plain = store.store("the harbour crane has no window")
    ids = {i["id"] for i in getattr(store, method)("harbour crane lease", t)}
    assert started in ids and plain in ids and ended not in ids
    earlier = {i["id"] for i in getattr(store, method)("harbour crane lease", t - 1.0)}
    assert ended in earlier and started not in earlier


def test_creation_time_separates_the_two(store):
    rid = store.store("the orchard apples ripen in september")
    created = store.get(rid).created_at
    assert store.recall_at("orchard apples", created - 1) == []
    [item] = store.recall_as_of("orchard apples", created - 1)
    assert list(item) == ITEM_KEYS and item["id"] == rid and item["level"] == "WORKING"
    [item] = store.recall_at("orchard apples", created)
    # The trust text as stamped at ingress, not converted.
    assert list(item) == ITEM_KEYS + ["trust"]
    assert item["trust"] == store.get(rid).metadata["trust_score"]


def test_bookkeeping_only_for_recall_at(store):
    rid = store.store("the harbour crane needs new cables")
    later = time.time() + 10
    before = store.recall_hit_stats()
    store.recall_as_of("harbour crane", later)
    assert store.get(rid).activation_count == 0
    store.recall_at("harbour crane", later)
    assert store.get(rid).activation_count == 1
    assert store.recall_hit_stats() == before


def test_namespaces_and_sizes(store):
    later = time.time() + 10
    store.store("the harbour crane needs new cables")
    other = store.store("the harbour crane in the work yard", namespace="work")
    for method in (store.recall_at, store.recall_as_of):
        assert other not in {i["id"] for i in method("harbour crane", later)}
        assert [i["id"] for i in method("harbour crane", later, namespace="work")] == [other]
        assert method("harbour crane", later, namespace=[]) == []
        assert method("harbour crane", later, top_k=0) == []
    # top_k is not capped: a large k neither fails nor pads.
    assert len(store.recall_as_of("harbour crane", later, top_k=150, namespace=["default", "work"])) == 2
    with pytest.raises(TypeError):
        store.recall_at("harbour crane", later, namespace=3)
