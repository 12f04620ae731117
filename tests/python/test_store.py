"""Storing records from Python and reading them back: store, get, count and
the Record class."""

import re

import pytest

from vesk._core import Level, Record, Vesk

AUDIT_RESERVED = "vesk.audit.v1.* metadata is reserved; use annotate_audit_entity() and link_audit_entities()"


def test_store_stamps_defaults_and_survives_reopen(tmp_path):
    path = str(tmp_path / "store")
    with Vesk(path) as v:
        rid = v.store("remember to buy oat milk")
        assert re.fullmatch(r"[0-9a-f]{12}", rid)
        r = v.get(rid)
        assert r.id == rid and r.vesk_id == rid
        assert r.content == "remember to buy oat milk"
        assert r.level == Level.Working
        assert r.confidence == 0.8999999761581421
        assert r.source_type == "recorded" and r.semantic_type == "fact" and r.namespace == "default"
        meta = r.metadata
        assert {k: meta[k] for k in ("source", "verified", "trust_score", "volatility")} == {
            "source": "agent", "verified": "false", "trust_score": "0.50", "volatility": "moderate"}
        assert re.fullmatch(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d(\.\d{3}|\.\d{6}|\.\d{9})?\+00:00", meta["timestamp"])
        assert set(meta) == {"source", "verified", "trust_score", "volatility", "timestamp"}
        before = {name: getattr(r, name) for name in dir(Record) if not name.startswith("_")}
    with Vesk(path) as v:
        again = v.get(rid)
        assert {name: getattr(again, name) for name in before} == before
        assert v.get(rid.upper()) is None
        # The reopened store still knows its texts as duplicates.
        assert v.store("remember to buy oat milk") == rid and v.count() == 1


@pytest.mark.parametrize("kwargs, message", [
    (dict(content=""), "Content cannot be empty"),
    (dict(content="a" * 102401), "Content exceeds maximum size of 100KB"),
    (dict(content="\U0001F600" * 30000), "Content exceeds maximum size of 100KB"),
    (dict(content="x", tags=["t"] * 51), "Maximum 50 tags allowed"),
    (dict(content="x", tags=["consequence-support"]),
     "tag consequence-support is reserved for captured consequences; use capture_consequence()"),
    (dict(content="x", metadata={"cu_id": "1"}),
     "metadata key cu_id is reserved for captured consequences; use capture_consequence()"),
    (dict(content="x", semantic_type="Fact"),
     "Invalid semantic_type 'Fact'. Must be one of: fact, decision, trend, serendipity, preference, contradiction"),
    (dict(content="x", source_type="human"),
     "Invalid source_type 'human'. Must be one of: recorded, retrieved, inferred, generated"),
    (dict(content="x", namespace="a b"), "Namespace must contain only ASCII alphanumeric, hyphens, or underscores"),
    (dict(content="x", metadata={"vesk.audit.v1.x": "1"}, tags=["t"] * 51), AUDIT_RESERVED),
    (dict(content="x", caused_by_id="000000000000"), "Causal parent record not found"),
    (dict(content="x", valid_from=2.0, valid_until=1.0), "valid_from must be earlier than valid_until"),
    (dict(content="x", valid_until=float("nan")), "valid_until must be a finite Unix timestamp"),
])
def test_refusals_change_nothing(store, kwargs, message):
    with pytest.raises(RuntimeError) as e:
        store.store(**kwargs)
    assert str(e.value) == message
    assert store.count() == 0


def test_limits_are_inclusive(store):
    store.store("a" * 102400, tags=["t"] * 50, auto_promote=False)
    assert store.count() == 1


def test_argument_types(store):
    with pytest.raises(TypeError, match=r"^argument 'tags': "):
        store.store("x", tags="abc")
    with pytest.raises(TypeError) as e:
        store.store()
    assert "Vesk.store()" in str(e.value) and "1" in str(e.value) and "'content'" in str(e.value)
    with pytest.raises(TypeError, match=r"^argument 'level': "):
        store.store("x", level=1)
    with pytest.raises(TypeError, match=r"^argument 'metadata': "):
        store.store("x", metadata={"a": 1})
    with pytest.raises(TypeError, match=r"^argument 'level': "):
        store.count(1)
    assert store.count() == 0


def test_exact_duplicate_is_touched(store):
    text = "the quarterly report is due on friday"
    first = store.store(text, tags=["work"])
    second = store.store(text, tags=["report", "work"])
    assert second == first and store.count() == 1
    r = store.get(first)
    assert r.strength == 1.0 and r.activation_count == 1
    assert r.tags == ["work", "report"]

    # Too short, or deduplication off, or another namespace: a new record.
    short = "nineteen bytes long"
    assert len(short.encode()) == 19
    assert store.store(short) != store.store(short)
    assert store.store(text, deduplicate=False) != first
    assert store.store(text, namespace="other") != first
    # Caller metadata must be a subset of the twin's.
    assert store.store(text, metadata={"source": "agent"}) == first
    assert store.store(text, metadata={"source": "me"}) != first
    assert store.count() == 6


def test_guard_tags_and_channel_provenance(store):
    rid = store.store("reach me at jane.doe@example.org", channel="voice")
    r = store.get(rid)
    assert r.tags == ["contact"]
    assert r.source_type == "recorded"
    meta = r.metadata
    assert (meta["actionable"], meta["source"], meta["verified"], meta["channel"], meta["volatility"]) == (
        "true", "user-voice", "true", "voice", "stable")

    caller = store.get(store.store("secret=abcdefghijABCDEFGHIJ", channel="agent-worker",
                                   metadata={"actionable": "maybe", "channel": "mine", "source": "me"}))
    assert caller.tags == ["credential"] and caller.source_type == "inferred"
    assert caller.metadata["actionable"] == "maybe" and caller.metadata["channel"] == "mine"
    assert caller.metadata["source"] == "agent-worker" and caller.metadata["claimed_source"] == "me"
    assert caller.metadata["trust_score"] == "0.35"


def test_novel_content_is_promoted(store):
    for i in range(4):
        store.store(f"background note number {i} about gardening")
    # Four records: no promotion yet.
    assert store.get(store.store("an unrelated thought on sailing boats")).level == Level.Working
    assert store.get(store.store("completely new text about volcanoes")).level == Level.Decisions
    assert store.get(store.store("a fresh remark on jazz", level=Level.Decisions)).level == Level.Domain
    assert store.get(store.store("another idea about chess", level=Level.Domain)).level == Level.Domain
    assert store.get(store.store("novel words regarding tea", auto_promote=False)).level == Level.Working
    # A near copy of a stored text keeps its level.
    assert store.get(store.store("background note number 1 about gardening!")).level == Level.Working
    assert store.count() == sum(store.count(level) for level in
                                (Level.Working, Level.Decisions, Level.Domain, Level.Identity))


def test_record_surface(store):
    rid = store.store("buy milk", namespace="work", auto_promote=False)
    r = store.get(rid)
    assert repr(r) == f"Record(id='{rid}', level=WORKING, strength=1.00, ns='work', content='buy milk...')"
    assert r.importance == pytest.approx(0.4625, abs=1e-7)
    assert r.epistemic_health == pytest.approx(0.9 * 0.5, rel=1e-6)
    assert r.valid_from is None and r.caused_by_id is None and r.superseded_at is None
    assert r.level is not r.level and r.level == r.level

    long_id = store.store("\u00e9" * 45)
    assert repr(store.get(long_id)).endswith("content='" + "\u00e9" * 40 + "...')")
    assert ", ns=" not in repr(store.get(long_id))

    r.tags.append("x")
    assert r.tags == []
    with pytest.raises(AttributeError):
        r.content = "changed"
    with pytest.raises(TypeError, match="No constructor defined for Record"):
        Record()
    names = [n for n in dir(Record) if not n.startswith("_")]
    assert len(names) == 28


def test_causal_parent_and_validity(store):
    parent = store.store("the parent record in work", namespace="work")
    with pytest.raises(RuntimeError, match="^Causal parent must belong to the same namespace$"):
        store.store("child", caused_by_id=parent)
    child = store.get(store.store("a child record in work", namespace="work", caused_by_id=parent,
                                  valid_from=10, valid_until=20.5))
    assert child.caused_by_id == parent
    assert (child.valid_from, child.valid_until) == (10.0, 20.5)


def test_reads_run_while_a_store_waits_in_its_embedding_function(store):
    import threading

    first = store.store("an earlier record to read back")
    entered, release = threading.Event(), threading.Event()

    def slow_embedding(text):
        entered.set()
        assert release.wait(10)
        return [1.0, 0.5, 0.25]

    store.set_embedding_fn(slow_embedding)
    result = {}
    writer = threading.Thread(target=lambda: result.update(id=store.store("stored by the writer thread")))
    writer.start()
    try:
        assert entered.wait(10)
        # The writer is inside store(), in the callback, its record already in
        # the map: no store lock is held.
        assert store.get(first).content == "an earlier record to read back"
        assert store.count() == 2
    finally:
        release.set()
        writer.join(10)
    assert not writer.is_alive()
    assert store.get(result["id"]).content == "stored by the writer thread"
    assert store.count() == 2
