"""Record edits from Python: update, supersede and the version chain, the
validity window and the usefulness verdicts."""

import re

import pytest

from vesk._core import Level, Vesk


def exact(message):
    return "^" + re.escape(message) + "$"


# ---- update ------------------------------------------------------------------


def test_update_guards_provenance_and_source_type(store):
    rid = store.store("the printer on floor two jams", channel="desktop", source_type="generated")
    assert store.get(rid).metadata["channel"] == "desktop"
    r = store.update(rid, metadata={"source": "x", "k": "v"}, strength=5.0)
    assert r.metadata["source"] == "user-desktop"
    assert r.metadata["claimed_source"] == "x"
    assert r.metadata["k"] == "v"
    assert "channel" not in r.metadata
    assert r.strength == 1.0
    assert store.update(rid, strength=float("-inf")).strength == 0.0
    with pytest.raises(RuntimeError, match=exact("cannot raise source_type from generated to recorded via update")):
        store.update(rid, source_type="recorded")
    assert store.update("nope") is None
    assert store.update("nope", content="new text") is None


@pytest.mark.parametrize(
    "kwargs, message",
    [
        ({"strength": float("nan")}, "strength must not be NaN"),
        ({"source_type": "mine"}, None),
        ({"metadata": {"vesk.audit.v1.kind": "claim"}}, "vesk.audit.v1.* metadata is reserved; use the audit entity APIs"),
        ({"tags": ["consequence-unit"]}, "tag consequence-unit is reserved for captured consequences; use capture_consequence()"),
        ({"metadata": {"cu_x": "1"}}, "metadata key cu_x is reserved for captured consequences; use capture_consequence()"),
    ],
)
def test_update_refusals_change_nothing_even_for_an_unknown_id(store, kwargs, message):
    rid = store.store("a record that must stay as it is", tags=["alpha"])
    before = store.get(rid)
    for target in (rid, "nope"):
        with pytest.raises(RuntimeError, match=exact(message) if message else None):
            store.update(target, **kwargs)
    after = store.get(rid)
    assert (after.strength, after.tags, after.metadata, after.source_type) == (
        before.strength,
        before.tags,
        before.metadata,
        before.source_type,
    )


def test_update_moves_the_record_between_tags_and_texts(store):
    rid = store.store("weekly report of the ferry schedule", tags=["alpha"])
    store.update(rid, tags=["zulu"], content="ferry timetable changes", level=Level.Decisions)
    assert [item["id"] for item in store.recall_structured("zulu")] == [rid]
    later = store.store("an unrelated note about lunch", tags=["alpha"])
    assert rid not in store.get(later).connections
    assert store.get(rid).level == Level.Decisions
    assert store.recall_structured("timetable")[0]["id"] == rid


def test_update_moves_the_record_in_the_duplicate_index(store):
    rid = store.store("the canteen serves soup on fridays")
    store.update(rid, content="the canteen serves curry on fridays")
    assert store.store("the canteen serves curry on fridays") == rid
    assert store.store("the canteen serves soup on fridays") != rid


def test_update_recomputes_certainty_and_confidence_only_with_content_or_source(store):
    rid = store.store("the bridge reopens tomorrow", source_type="retrieved")
    store.set_claim_classifier(lambda text: "hedged")
    r = store.update(rid, content="the bridge may reopen tomorrow")
    assert r.metadata["claim_certainty"] == "hedged"
    assert r.confidence == pytest.approx(0.75 * 0.85)
    store.clear_claim_classifier()
    r = store.update(rid, content="the bridge reopens on friday")
    assert "claim_certainty" not in r.metadata
    assert r.confidence == pytest.approx(0.75)
    # A metadata change alone leaves the confidence as it was.
    r = store.update(rid, metadata={"claim_certainty": "hedged"}, source_type="inferred")
    assert r.metadata["claim_certainty"] == "hedged"
    assert r.confidence == pytest.approx(0.6 * 0.85)


def test_update_keeps_the_access_rules_and_the_supersession_mark(store):
    rid = store.store("the vault code rotates monthly")
    store.set_record_acl(rid, "restricted", read_roles=["ops"])
    store.update(rid, metadata={"k": "v"})
    assert store.check_record_access(rid)["allowed"] is False
    assert store.check_record_access(rid, roles=["ops"])["allowed"] is True

    new = store.supersede(rid, "the vault code rotates weekly")
    store.update(rid, metadata={"k": "w"})
    assert store.superseded_by(rid) == new
    with pytest.raises(RuntimeError, match=exact(f"Record '{rid}' is already superseded")):
        store.supersede(rid, "yet another version")


def test_update_infers_family_relations_of_the_new_text(store):
    profile = store.store("profile of the user", tags=["user-profile"])
    rid = store.store("a note about the weekend")
    assert profile not in store.get(rid).connections
    store.update(rid, content="my sister visits on the weekend")
    assert store.get(rid).connection_types[profile] == "family.sister"
    assert store.get(profile).connection_types[rid] == "family.sister"


# ---- supersede and the version chain ---------------------------------------


def test_supersede_builds_a_chain_of_versions(tmp_path):
    path = str(tmp_path / "s")
    with Vesk(path) as v:
        a = v.store("the meeting is on Monday", tags=["meeting"], channel="desktop")
        b = v.supersede(a, "the meeting moved to Thursday")
        assert v.superseded_by(a) == b
        assert v.superseded_by(b) is None
        assert v.superseded_by("nope") is None
        assert [r.id for r in v.version_chain(a)] == [a, b]
        old, new = v.get(a), v.get(b)
        assert old.valid_until is not None and old.superseded_at is not None
        assert new.valid_from == old.valid_until
        assert new.caused_by_id == a and new.tags == ["meeting"]
        assert new.metadata["source"] == "agent" and "channel" not in new.metadata
        assert (new.connections[a], new.connection_types[a]) == (pytest.approx(0.7), "causal")
        assert (old.connections[b], old.connection_types[b]) == (pytest.approx(0.7), "causal")
        c = v.store("minutes of the meeting", caused_by_id=a)
        assert c in [r.id for r in v.version_chain(c)]
        assert [r.id for r in v.version_chain(b)] == [a, b]
        assert v.version_chain("nope") == []
    with Vesk(path) as v:
        assert [r.id for r in v.version_chain(b)] == [a, b]
        assert v.superseded_by(a) == b


@pytest.mark.parametrize(
    "kwargs, message",
    [
        ({"effective_at": float("nan")}, "effective_at must be a finite Unix timestamp"),
        ({"effective_at": float("inf")}, "effective_at must be a finite Unix timestamp"),
        ({"tags": ["consequence-refute"]}, "tag consequence-refute is reserved for captured consequences; use capture_consequence()"),
        ({"namespace": "work"}, "A superseding version must remain in namespace 'default'"),
        ({"tags": [f"t{i}" for i in range(51)]}, "Maximum 50 tags allowed"),
        ({"effective_at": 50.0}, "effective_at must be later than the old record's valid_from"),
    ],
)
def test_supersede_refusals_store_nothing(store, kwargs, message):
    a = store.store("the launch is in May", valid_from=100.0)
    before = store.count()
    with pytest.raises(RuntimeError, match=exact(message)):
        store.supersede(a, "the launch moved to June", **kwargs)
    assert store.count() == before
    assert store.superseded_by(a) is None


def test_supersede_content_and_id_refusals(store):
    with pytest.raises(RuntimeError, match=exact("Record 'nope' not found")):
        store.supersede("nope", "text")
    a = store.store("x")
    with pytest.raises(RuntimeError, match=exact("Content cannot be empty")):
        store.supersede(a, "")
    with pytest.raises(RuntimeError, match=exact("Content exceeds maximum size of 100KB")):
        store.supersede(a, "x" * 102401)


# ---- validity --------------------------------------------------------------------


def test_set_temporal_validity_replaces_the_whole_window(store):
    rid = store.store("the office is closed for renovation")
    r = store.set_temporal_validity(rid, 10.0, 20.0)
    assert (r.valid_from, r.valid_until) == (10.0, 20.0)
    r = store.set_temporal_validity(rid, valid_until=30.0)
    assert (r.valid_from, r.valid_until) == (None, 30.0)
    r = store.set_temporal_validity(rid)
    assert (r.valid_from, r.valid_until) == (None, None)
    for args, message in [
        ((rid, 5.0, 5.0), "valid_from must be earlier than valid_until"),
        ((rid, float("nan"), 1.0), "valid_from must be a finite Unix timestamp"),
        ((rid, None, float("inf")), "valid_until must be a finite Unix timestamp"),
        (("x", 1.0, 2.0), "Record 'x' not found"),
    ]:
        with pytest.raises(ValueError, match=exact(message)):
            store.set_temporal_validity(*args)
    assert (store.get(rid).valid_from, store.get(rid).valid_until) == (None, None)


# ---- feedback --------------------------------------------------------------------


def test_feedback_counts_verdicts_and_moves_strength(tmp_path):
    path = str(tmp_path / "s")
    with Vesk(path) as v:
        rid = v.store("the coffee machine descaling steps")
        v.update(rid, strength=0.95)
        assert v.feedback(rid, True) is True
        assert v.feedback_stats(rid) == (1, 0, 1)
        assert v.get(rid).strength == 1.0
        assert "feedback_negative" not in v.get(rid).metadata
        assert re.fullmatch(r"\d+\.\d{3}", v.get(rid).metadata["feedback_last"])
        v.feedback(rid, False)
        v.feedback(rid, False)
        assert v.feedback_stats(rid) == (1, 2, -1)
        assert v.get(rid).strength == pytest.approx(0.7)
        assert v.feedback("nope", True) is False
        assert v.feedback_stats("nope") is None
    with Vesk(path) as v:
        assert v.feedback_stats(rid) == (1, 2, -1)
