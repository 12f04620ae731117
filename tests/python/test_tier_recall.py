"""Tier recall (recall_cognitive, recall_core_tier) and the memory intent
suggestion."""

import time

import pytest

from vesk._core import Level, Vesk


def _put(store, text, level, **kw):
    return store.store(text, level=level, auto_promote=False, deduplicate=False, **kw)


def _hits(store):
    s = store.recall_hit_stats()
    return s["recall_total"], s["recall_empty"]


def test_listing_keeps_its_tier_valid_now_and_ranks_by_importance(store):
    now = time.time()
    working = _put(store, "working note on glaze recipes", Level.Working)
    decision = _put(store, "decided to fire the kiln on fridays", Level.Decisions)
    domain = _put(store, "stoneware fires at cone ten", Level.Domain)
    expired = _put(store, "an old plan for the studio", Level.Working, valid_from=now - 100, valid_until=now - 10)
    future = _put(store, "a plan for next year", Level.Working, valid_from=now + 3600)
    other_ns = _put(store, "a note in the work namespace", Level.Working, namespace="work")
    restricted = _put(store, "a private working note", Level.Working)
    store.set_record_acl(restricted, "restricted", read_roles=["admin"])

    listed = [r.id for r in store.recall_cognitive()]
    assert sorted(listed) == sorted([working, decision])
    # Decisions outrank Working at equal strength: 0.25 x level / 4.
    assert listed == [decision, working]
    assert [r.importance for r in store.recall_cognitive()] == sorted(
        (r.importance for r in store.recall_cognitive()), reverse=True)
    assert [r.id for r in store.recall_core_tier()] == [domain]
    assert [r.id for r in store.recall_cognitive(namespace="work")] == [other_ns]
    assert sorted(r.id for r in store.recall_cognitive(namespace=["work", "default"])) == sorted(
        [working, decision, other_ns])
    assert store.recall_cognitive(namespace=[]) == []
    assert [r.id for r in store.recall_cognitive(limit=1)] == [decision]
    assert expired not in listed and future not in listed and restricted not in listed


def test_listing_at_most_limit_and_counters(store):
    for i in range(25):
        _put(store, f"working thought number {i} about pottery", Level.Working)
    before = _hits(store)
    assert len(store.recall_cognitive()) == 20
    assert store.recall_cognitive(limit=0) == []
    after = _hits(store)
    assert (after[0] - before[0], after[1] - before[1]) == (2, 1)
    # Ties at two strengths: a shorter listing is always the head of a longer
    # one, so the selection keeps the order of equal records.
    for i, r in enumerate(store.recall_cognitive(limit=25)):
        if i % 3 == 0:
            store.update(r.id, strength=0.5)
    full = [r.id for r in store.recall_cognitive(limit=25)]
    assert [r.importance for r in store.recall_cognitive(limit=25)] == sorted(
        (r.importance for r in store.recall_cognitive(limit=25)), reverse=True)
    for limit in (1, 7, 9, 24, 25, 1000):
        assert [r.id for r in store.recall_cognitive(limit=limit)] == full[:limit]
    with pytest.raises(TypeError, match="namespace must be a str, list\\[str\\], or None"):
        store.recall_cognitive(namespace=3)
    with pytest.raises(OverflowError):
        store.recall_cognitive(limit=-1)


def test_query_road_filters_the_recall_by_tier(store):
    domain = _put(store, "the kiln controller firmware version is 4.2", Level.Domain)
    identity = _put(store, "the kiln controller belongs to the studio", Level.Identity)
    before = _hits(store)
    assert store.recall_cognitive("kiln controller firmware") == []
    core = [r.id for r in store.recall_core_tier("kiln controller firmware")]
    assert set(core) <= {domain, identity} and domain in core
    after = _hits(store)
    assert (after[0] - before[0], after[1] - before[1]) == (2, 1)
    # The empty string takes the query road: nothing matches it, while the
    # listing (no query) finds the records.
    assert store.recall_core_tier("") == []
    assert {r.id for r in store.recall_core_tier()} == {domain, identity}
    # The query road activates what recall_core returned, of either tier.
    assert store.get(domain).activation_count >= 1


INTENTS = [
    ("   \n", False, [], "empty_query"),
    ("", False, [], "empty_query"),
    ("CALCULATE 2+2", False, [], "self_contained_turn"),
    ("calculate my budget for march", True, ["timeline"], "query_signal_routes"),
    ("rewrite this paragraph", False, [], "self_contained_turn"),
    ("rewriting this paragraph", True, ["timeline", "graph", "documentary"], "conservative_all_routes"),
    ("latest policy", True, ["timeline", "documentary"], "query_signal_routes"),
    ("whenever it rains", True, ["timeline"], "query_signal_routes"),
    ("my notes: translate this", True, ["timeline", "graph", "documentary"], "conservative_all_routes"),
    ("translate my, please", False, [], "self_contained_turn"),
    ("translate this into my language", True, ["timeline", "graph", "documentary"], "conservative_all_routes"),
    ("Which project produced the error code?", True, ["graph", "documentary"], "query_signal_routes"),
    ("\u2003tell me something\u00a0", True, ["timeline", "graph", "documentary"], "conservative_all_routes"),
    ("calc", True, ["timeline", "graph", "documentary"], "conservative_all_routes"),
]


@pytest.mark.parametrize("query,needs,routes,reason", INTENTS)
def test_suggest_memory_intent(store, query, needs, routes, reason):
    assert store.suggest_memory_intent(query) == {
        "needs_memory": needs, "suggested_routes": routes, "reason": reason}
    assert list(store.suggest_memory_intent(query)) == ["needs_memory", "suggested_routes", "reason"]
