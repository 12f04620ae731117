"""Structured recall from Python: the result item, the cache and the counters."""

import pytest

from vesk._core import Vesk

ITEM_KEYS = ["id", "content", "score", "level", "strength", "salience", "tags", "source_type", "created_at",
             "valid_from", "valid_until", "superseded_at"]


def test_item_keys_in_order_with_metadata_texts(store):
    rid = store.store("orchard apples ripen in september", tags=["farm", "autumn"])
    [item] = store.recall_structured("orchard apples")
    assert list(item) == ITEM_KEYS + ["trust", "source"]
    assert item["id"] == rid and item["level"] == "WORKING" and item["tags"] == ["farm", "autumn"]
    # The metadata texts as stamped at ingress, not converted.
    metadata = store.get(rid).metadata
    assert item["trust"] == metadata["trust_score"] and isinstance(item["trust"], str)
    assert item["source"] == metadata["source"]
    assert item["valid_from"] is None and item["superseded_at"] is None
    assert isinstance(item["score"], float) and item["score"] > 0
    assert "concepts" not in item


def test_cache_serves_the_same_list_without_activation(store):
    rid = store.store("the harbour crane needs new cables")
    first = store.recall_structured("Harbour Crane")
    assert [i["id"] for i in first] == [rid]
    assert store.get(rid).activation_count == 1
    assert store.recall_structured("  harbour crane\t") == first
    assert store.get(rid).activation_count == 1
    assert store.recall_hit_stats()["recall_total"] == 2
    # A session id always runs the recall.
    store.recall_structured("harbour crane", session_id="s")
    assert store.get(rid).activation_count == 2


def test_nothing_asked_nothing_found(store):
    store.store("the harbour crane needs new cables")
    assert store.recall_structured("harbour", top_k=0) == []
    assert store.recall_structured("harbour", namespace=[]) == []
    assert store.recall_structured("harbour", namespace="elsewhere") == []
    s = store.recall_hit_stats()
    assert (s["recall_total"], s["recall_empty"]) == (3, 3)
    with pytest.raises(TypeError, match="namespace must be a str, list\\[str\\], or None"):
        store.recall_structured("harbour", namespace=["a", 1])


def test_records_stored_by_other_threads_are_found_meanwhile_and_after_reopen(tmp_path):
    # New records reach part of the lexical index in batches: a recall from
    # another thread must still find every record whose store returned, and
    # so must a reopened store.
    import random
    import threading

    path = str(tmp_path / "store")
    v = Vesk(path)
    rng = random.Random(3)
    letters = "bcdfghjklmnpqrstvwz"

    def word():
        return "".join(rng.choice(letters) for _ in range(7))

    texts = [" ".join(word() for _ in range(6)) for _ in range(450)]
    stored, errors, lock = [], [], threading.Lock()

    def writer(chunk):
        try:
            for t in chunk:
                rid = v.store(t)
                with lock:
                    stored.append((rid, t))
        except Exception as e:  # pragma: no cover - reported below
            errors.append(e)

    def reader():
        try:
            for _ in range(60):
                with lock:
                    if not stored:
                        continue
                    rid, t = stored[rng.randrange(len(stored))]
                found = [i["id"] for i in v.recall_structured(t, top_k=3)]
                if rid not in found:
                    errors.append(AssertionError(f"{rid} not recalled by its own text"))
        except Exception as e:  # pragma: no cover - reported below
            errors.append(e)

    threads = [threading.Thread(target=writer, args=(texts[i::3],)) for i in range(3)]
    threads += [threading.Thread(target=reader) for _ in range(2)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert errors == []
    assert v.count() == len(texts)
    v.close()
    with Vesk(path) as again:
        for rid, t in stored[::7]:
            assert rid in [i["id"] for i in again.recall_structured(t, top_k=3)]
