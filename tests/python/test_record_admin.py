"""Administrative record operations from Python: namespace move, JSON import,
media records and plain-text intake, promotion and salience."""

import json
import math
import re
import time

import pytest

from vesk._core import Level, Vesk


def rec(rid, content, **fields):
    """One record in the JSON form that export_json writes."""
    now = time.time()
    r = {
        "id": rid, "content": content, "level": "Working", "strength": 1.0, "activation_count": 0,
        "created_at": now, "last_activated": now, "tags": [], "connections": {},
        "content_type": "text", "metadata": {},
    }
    r.update(fields)
    return r


def load(v, *records):
    return v.import_json(json.dumps(list(records)))


def links(v, rid):
    r = v.get(rid)
    return {target: (w, r.connection_types.get(target)) for target, w in r.connections.items()}


def found(v, query, namespace=None):
    return [item["id"] for item in v.recall_structured(query, namespace=namespace)]


# ---- JSON import ----------------------------------------------------------------


@pytest.mark.parametrize("text", ["{}", "[", '[{"id": "a1"}]', "[] x"])
def test_import_refuses_a_text_that_is_not_an_array_of_records(store, text):
    rid = store.store("a record held before")
    with pytest.raises(RuntimeError):
        store.import_json(text)
    assert store.count() == 1 and store.get(rid).content == "a record held before"


def test_import_keeps_the_later_of_one_id_and_survives_reopen(tmp_path):
    path = str(tmp_path / "store")
    with Vesk(path) as v:
        assert v.import_json("[]") == 0
        assert load(v, rec("aaaaaaaaaaaa", "first form"), rec("aaaaaaaaaaaa", "second form", strength=0.5)) == 2
        assert v.count() == 1 and v.get("aaaaaaaaaaaa").content == "second form"
    with Vesk(path) as v:
        r = v.get("aaaaaaaaaaaa")
        assert (r.content, r.strength) == ("second form", 0.5)


def test_imported_records_are_found_at_once_and_replacements_leave_no_trace(store):
    # Tags, content, and the other fields as imported, not as a store sets them.
    load(store, rec("kiwi00000001", "a small brown bird", tags=["kiwi"], strength=0.7, activation_count=5),
         rec("cx0000000001", "fruit of another namespace", namespace="work", tags=["50"] * 60))
    r = store.get("kiwi00000001")
    assert (r.strength, r.activation_count) == (0.699999988079071, 5)
    assert found(store, "kiwi") == ["kiwi00000001"]
    assert found(store, "brown bird") == ["kiwi00000001"]
    assert found(store, "another namespace", namespace="work") == ["cx0000000001"]

    # A replacement leaves the indexes of the record it replaces.
    load(store, rec("kiwi00000001", "a tall grey heron", tags=["mango"]))
    assert found(store, "kiwi") == [] and found(store, "brown bird") == []
    assert found(store, "mango") == ["kiwi00000001"] and found(store, "grey heron") == ["kiwi00000001"]


# ---- Namespace move -------------------------------------------------------------


@pytest.mark.parametrize(
    "namespace, message",
    [
        ("bad ns", "Namespace must contain only ASCII alphanumeric, hyphens, or underscores"),
        ("", "Namespace cannot be empty"),
        ("n" * 65, "Namespace cannot exceed 64 characters"),
    ],
)
def test_move_refuses_an_invalid_namespace(store, namespace, message):
    rid = store.store("a record that stays put")
    with pytest.raises(OSError, match="^" + re.escape(message) + "$"):
        store.move_record(rid, namespace)
    assert store.get(rid).namespace == "default"
    assert store.move_record("000000000000", "work") is None


def test_move_cuts_links_across_namespaces_and_keeps_them_cut(tmp_path):
    path = str(tmp_path / "store")
    with Vesk(path) as v:
        a = v.store("the quokka migrates between namespaces")
        b = v.store("the record it leaves behind")
        c = v.store("a record that stays linked")
        v.connect(a, b, 0.6, "related")
        v.connect(a, c, 0.4)
        v.connect(b, c, 0.3)
        assert v.move_record(c, "default").namespace == "default"  # its own namespace: no change
        assert links(v, a) == {b: (0.6000000238418579, "related"), c: (0.4000000059604645, None)}

        moved = v.move_record(a, "work")
        assert moved.namespace == "work" and moved.connections == {}
        assert links(v, b) == {c: (0.30000001192092896, None)}
        assert links(v, c) == {b: (0.30000001192092896, None)}
        # Recall follows the record into its new namespace.
        assert found(v, "quokka", "work") == [a]
        assert found(v, "quokka", "default") == []
    with Vesk(path) as v:
        assert v.get(a).namespace == "work"
        assert links(v, a) == {} and a not in links(v, b) and a not in links(v, c)
        assert found(v, "quokka", "work") == [a]


def test_move_keeps_links_inside_the_new_namespace_and_from_a_third(store):
    # Links across namespaces, as only an import can write them.
    load(store,
         rec("mover0000001", "the record that moves", connections={"inwork000001": 0.5, "third0000001": 0.5,
                                                                   "gone00000001": 0.5}),
         rec("inwork000001", "already in work", namespace="work", connections={"mover0000001": 0.5}),
         rec("third0000001", "in a third namespace", namespace="third", connections={"mover0000001": 0.5}))
    store.move_record("mover0000001", "work")
    assert set(links(store, "mover0000001")) == {"inwork000001", "gone00000001"}
    assert set(links(store, "inwork000001")) == {"mover0000001"}
    assert set(links(store, "third0000001")) == {"mover0000001"}


# ---- Media records and plain-text intake ----------------------------------------


@pytest.mark.parametrize(
    "tags, stored",
    [(None, ["image"]), (["pet"], ["pet", "image"]), (["image", "pet"], ["image", "pet"])],
)
def test_store_image(store, tags, stored):
    r = store.get(store.store_image("/p.png", "a cat on a mat", tags=tags))
    assert r.tags == stored
    assert (r.content, r.content_type, r.source_type) == ("a cat on a mat", "image", "recorded")
    assert (r.metadata["source_path"], r.metadata["media_type"]) == ("/p.png", "image")
    assert r.confidence == 0.8999999761581421


def test_store_audio_transcript_and_no_duplicate_detection_for_media(store):
    rid = store.store_audio_transcript("we met at noon on the pier", "/a.wav", level=Level.Decisions,
                                       namespace="work")
    r = store.get(rid)
    assert (r.tags, r.content_type, r.level, r.namespace) == (["audio"], "audio_transcript", Level.Decisions, "work")
    assert (r.metadata["source_path"], r.metadata["media_type"]) == ("/a.wav", "audio")
    assert store.store_image("/p.png", "the same picture twice") != store.store_image("/p.png", "the same picture twice")


def test_process(store):
    answer = store.process("plain text stored through process", pin=True)
    rid = re.fullmatch(r"Stored record (\w+) \(level=IDENTITY\)", answer).group(1)
    assert store.get(rid).pinned and store.get(rid).level == Level.Identity
    again = store.process("a plain text long enough to be a duplicate")
    assert re.fullmatch(r"Stored record \w+ \(level=WORKING\)", again)
    assert store.process("a plain text long enough to be a duplicate") == again


@pytest.mark.parametrize(
    "call, error",
    [
        (lambda v: v.store_image("/p.png", ""), RuntimeError),
        (lambda v: v.store_audio_transcript("", "/a.wav"), RuntimeError),
        (lambda v: v.process(""), RuntimeError),
        (lambda v: v.store_image("/p.png", "a picture", tags="pet"), TypeError),
        (lambda v: v.store_image("/p.png", "a picture", level=2), TypeError),
    ],
)
def test_media_and_text_refusals(store, call, error):
    with pytest.raises(error):
        call(store)
    assert store.count() == 0


# ---- Promotion and salience -----------------------------------------------------


def test_promotion_rule(tmp_path):
    path = str(tmp_path / "store")
    past = time.time() - 60
    cases = {
        "w5": (dict(activation_count=5, strength=0.7), None),
        "w4": (dict(activation_count=4, strength=0.7), None),
        "wcontra": (dict(activation_count=9, strength=0.9, semantic_type="contradiction"), None),
        "dvolatile": (dict(level="Decisions", activation_count=9, volatility=0.25), "high_volatility"),
        "dcontra": (dict(level="Decisions", semantic_type="contradiction"), "contradiction_record"),
        "dconflict": (dict(level="Decisions", conflict_mass=1), "conflicting_evidence"),
        "d6": (dict(level="Decisions", activation_count=6, strength=0.9), None),
        "m19": (dict(level="Domain", activation_count=19, strength=0.95), "identity_evidence_threshold"),
        "m20": (dict(level="Domain", activation_count=20, strength=0.9), None),
        "ident": (dict(level="Identity"), "already_identity"),
        "expired": (dict(level="Identity", valid_until=past), "not_currently_valid"),
    }
    with Vesk(path) as v:
        load(v, *[rec(rid, f"record {rid}", **fields) for rid, (fields, _) in cases.items()])
        assert {rid: v.promotion_block_reason(rid) for rid in cases} == {rid: r for rid, (_, r) in cases.items()}
        assert v.promotion_block_reason("nope") is None

        # By activations, then strength; Domain records are never candidates.
        assert [r.id for r in v.promotion_candidates()] == ["wcontra", "d6", "w5"]
        assert [r.id for r in v.promotion_candidates(min_activations=4, min_strength=0.8)] == ["wcontra", "d6"]
        assert "w4" in [r.id for r in v.promotion_candidates(min_activations=4)]

        assert v.promote_record("dvolatile") is None and v.promote_record("nope") is None
        assert v.promote_record("w5") == Level.Decisions
        assert v.promote_record("wcontra") == Level.Decisions
        assert v.promote_record("m20") == Level.Identity
    with Vesk(path) as v:
        assert [v.get(rid).level for rid in ("w5", "m20", "dvolatile")] == [Level.Decisions, Level.Identity,
                                                                            Level.Decisions]


def test_mark_record_salience(tmp_path):
    path = str(tmp_path / "store")
    with Vesk(path) as v:
        rid = v.store("a fresh working record")
        r = v.mark_record_salience(rid, 1.7, "  ")
        assert r.importance == 0.5625  # salience 1.0: 0.0625 + 0.4 + 0.1
        assert "salience_reason" not in r.metadata
        assert re.fullmatch(r"\d+\.\d{3}", r.metadata["salience_marked_at"])
        r = v.mark_record_salience(rid, -0.3, "  worth keeping ")
        assert (r.importance, r.metadata["salience_reason"]) == (0.4625000059604645, "worth keeping")
        with pytest.raises(RuntimeError):
            v.mark_record_salience(rid, math.nan)
        assert (v.get(rid).importance, v.get(rid).metadata) == (r.importance, r.metadata)
        assert v.mark_record_salience("nope", 0.5) is None
    with Vesk(path) as v:
        assert v.get(rid).metadata["salience_reason"] == "worth keeping"
