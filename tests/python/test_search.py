"""The filter search: search() and its counters."""

import time

import pytest

from vesk._core import Level


def _put(store, text, **kw):
    return store.store(text, auto_promote=False, deduplicate=False, **kw)


@pytest.fixture
def records(store):
    now = time.time()
    ids = {
        "note": _put(store, "A Note about Glaze recipes", tags=["craft", "kiln"]),
        "plan": _put(store, "decided to fire the kiln on fridays", level=Level.Decisions, tags=["kiln"],
                     semantic_type="decision"),
        "ref": _put(store, "the glaze chart from the supplier", source_type="retrieved", tags=["Craft"]),
        "work": _put(store, "a glaze note in the work namespace", namespace="work", tags=["craft"]),
        "old": _put(store, "an expired glaze note", valid_from=now - 100, valid_until=now - 10),
        "soon": _put(store, "a glaze note for next year", valid_from=now + 3600),
        "secret": _put(store, "a restricted glaze note"),
        "pic": store.store_image("/k.png", "a picture of the kiln"),
    }
    store.set_record_acl(ids["secret"], "restricted", read_roles=["admin"])
    return ids


@pytest.mark.parametrize(
    "kwargs, expected",
    [
        ({}, {"note", "plan", "ref", "pic"}),
        ({"query": "GLAZE"}, {"note", "ref"}),
        ({"query": ""}, {"note", "plan", "ref", "pic"}),
        ({"level": Level.Decisions}, {"plan"}),
        ({"tags": ["nothing", "kiln"]}, {"note", "plan"}),
        ({"tags": ["craft"]}, {"note"}),  # exact case
        ({"tags": []}, set()),
        ({"content_type": "image"}, {"pic"}),
        ({"source_type": "retrieved"}, {"ref"}),
        ({"semantic_type": "decision"}, {"plan"}),
        ({"namespace": "work"}, {"work"}),
        ({"namespace": ("work", "default"), "query": "glaze"}, {"note", "ref", "work"}),
        ({"namespace": []}, set()),
        ({"query": "glaze", "tags": ["craft"], "namespace": ["default", "work"]}, {"note", "work"}),
    ],
)
def test_search_filters(store, records, kwargs, expected):
    assert {name for name, rid in records.items() if rid in [r.id for r in store.search(**kwargs)]} == expected


def test_search_ranks_by_importance_with_a_limit_and_counts(store, records):
    hits = store.search()
    assert [r.importance for r in hits] == sorted((r.importance for r in hits), reverse=True)
    assert hits[0].id == records["plan"]  # Decisions outranks Working at equal strength
    assert [r.id for r in store.search(limit=2)] == [r.id for r in hits[:2]]

    store.reset_recall_hit_stats()
    assert store.search(limit=0) == []
    store.search(query="no such words anywhere")
    store.search(query="glaze")
    stats = store.recall_hit_stats()
    assert (stats["search_total"], stats["search_empty"], stats["recall_total"]) == (3, 2, 0)


@pytest.mark.parametrize(
    "kwargs, message",
    [
        ({"namespace": 5}, "^namespace must be a str, list\\[str\\], or None$"),
        ({"namespace": ["default", 1]}, "^namespace must be a str, list\\[str\\], or None$"),
        ({"namespace": b"default"}, "^namespace must be a str, list\\[str\\], or None$"),
        ({"tags": "craft"}, "tags"),
        ({"level": 1}, "level"),
        # The namespace is converted last.
        ({"level": 1, "namespace": 5}, "level"),
    ],
)
def test_search_argument_refusals(store, kwargs, message):
    with pytest.raises(TypeError, match=message):
        store.search(**kwargs)
    assert store.recall_hit_stats()["search_total"] == 0


def test_search_refuses_a_negative_limit(store):
    with pytest.raises((OverflowError, ValueError)):
        store.search(limit=-1)
    assert store.recall_hit_stats()["search_total"] == 0
