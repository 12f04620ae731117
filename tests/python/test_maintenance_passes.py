"""reflect(), decay() and decay_by_route_state() from Python."""

from vesk._core import Level, Vesk

KEYS = {
    "promoted",
    "archived",
    "promotion_blocked_conflict",
    "promotion_blocked_volatility",
    "promotion_blocked_identity_threshold",
    "epistemic_records_updated",
}


def activate(store, text, times, start=0):
    for i in range(start, start + times):
        assert store.recall_structured(text, session_id=f"session-{i}")


def test_an_empty_store(store):
    assert store.reflect() == dict.fromkeys(KEYS, 0)
    assert store.decay() == (0, 0)
    assert store.decay_by_route_state() == (0, 0)


def test_reflect_promotes_used_records_one_level(store):
    working = store.store("the kiln shelf cracked", auto_promote=False)
    activate(store, "kiln shelf", 5)
    counts = store.reflect()
    assert set(counts) == KEYS
    assert counts["promoted"] == 1
    assert store.get(working).level == Level.Decisions


def test_a_domain_record_needs_twenty_activations_for_identity(store):
    domain = store.store("glaze recipes need cone six", level=Level.Domain, auto_promote=False)
    activate(store, "glaze recipes", 19)
    counts = store.reflect()
    assert (counts["promoted"], counts["promotion_blocked_identity_threshold"]) == (0, 1)
    assert store.get(domain).level == Level.Domain
    activate(store, "glaze recipes", 1, start=19)
    assert store.reflect()["promoted"] == 1
    assert store.get(domain).level == Level.Identity


def test_decay_archives_a_working_record_on_the_fourteenth_call(tmp_path):
    path = str(tmp_path / "store")
    with Vesk(path) as store:
        rid = store.store("a passing thought", auto_promote=False)
        for _ in range(13):
            assert store.decay() == (1, 0)
        assert store.decay() == (1, 1)
        assert store.get(rid) is None
    with Vesk(path) as store:
        assert store.get(rid) is None
        assert store.count() == 0


def test_decay_by_level_and_a_pinned_record_through_both(store):
    identity = store.store("my name is Ada", level=Level.Identity, auto_promote=False)
    pinned = store.store("never forget the gas valve", pin=True, auto_promote=False)
    assert store.decay() == (2, 0)
    assert abs(store.get(identity).strength - 0.99) < 1e-6
    assert store.get(pinned).strength == 1.0
    store.decay_by_route_state()
    assert store.get(pinned).strength == 1.0


def test_route_state_decay_factors(store):
    identity = store.store("my name is Ada", level=Level.Identity, auto_promote=False)
    working = store.store("a passing thought", auto_promote=False)
    assert store.decay_by_route_state() == (2, 0)
    assert store.get(identity).strength == 1.0
    assert abs(store.get(working).strength - 0.8) < 1e-6


def test_many_archivals_compact_the_journal(tmp_path):
    path = tmp_path / "store"
    with Vesk(str(path)) as store:
        for i in range(101):
            store.store(f"note number {i}", auto_promote=False)
        for _ in range(13):
            assert store.decay() == (101, 0)
        assert store.decay() == (101, 101)
    # The journal's header: its magic and one flags byte.
    assert (path / "brain.cog").stat().st_size == 5


TOPIC = {"fruit", "apples", "orchard", "pears"}


def embed(text):
    return [float(len(set(text.lower().split()) & TOPIC)), 0.1]


def test_a_demoted_record_comes_back_at_the_next_open_with_its_embedding(tmp_path):
    path = str(tmp_path / "store")
    with Vesk(path) as store:
        store.set_embedding_fn(embed)
        rid = store.store("the orchard apples ripen", auto_promote=False)
        for _ in range(13):
            store.decay()
        assert store.decay_by_route_state() == (1, 1)
        assert store.count() == 0
        assert store.recall_structured("fruit", min_strength=0.0) == []
        assert store.recall_structured("orchard apples", min_strength=0.0) == []
    with Vesk(path) as store:
        assert store.count() == 1
        assert store.get(rid).strength >= 0.05
        store.set_embedding_fn(embed)
        # Found by its stored vector alone: no word of the query is in it.
        assert [r["id"] for r in store.recall_structured("fruit", min_strength=0.0)] == [rid]
