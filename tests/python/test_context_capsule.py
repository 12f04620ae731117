"""Context capsules from Python: arguments, categories, hash, cut and compaction."""

import math

import pytest

AT = 1_900_000_000.0

ENTRY_KEYS = ["record_id", "category", "content", "source_type", "semantic_type", "level", "confidence", "strength",
              "salience", "estimated_tokens", "selection_reasons"]
CAPSULE_KEYS = ["namespace", "purpose", "token_budget", "estimated_tokens", "source_record_count", "omitted_count",
                "refutation_count", "evidence_debt_count", "contradiction_count", "capsule_hash", "entries"]


@pytest.mark.parametrize("kwargs, error, message", [
    ({"purpose": "  "}, ValueError, "context capsule purpose must not be empty"),
    ({"purpose": "x", "valid_at": float("nan")}, ValueError, "valid_at must be a finite Unix timestamp"),
    ({"purpose": "x", "valid_at": float("inf")}, ValueError, "valid_at must be a finite Unix timestamp"),
    ({"purpose": "x", "namespace": "a b"}, ValueError,
     "Namespace must contain only ASCII alphanumeric, hyphens, or underscores"),
    ({"purpose": "x", "namespace": ""}, ValueError, "Namespace cannot be empty"),
    ({"purpose": "x", "token_budget": None}, TypeError, None),
    ({"purpose": "x", "token_budget": -1}, OverflowError, None),
    ({"purpose": 3}, TypeError, None),
])
@pytest.mark.parametrize("method", ["build_context_capsule", "build_compacted_context_capsule"])
def test_refused_arguments(store, method, kwargs, error, message):
    with pytest.raises(error) as raised:
        getattr(store, method)(**kwargs)
    if message is not None:
        assert str(raised.value) == message


@pytest.mark.parametrize("asked, budget", [(0, 1), (40000, 32768), (2000, 2000)])
def test_budget_is_clamped(store, asked, budget):
    store.store("kiln notes")
    capsule = store.build_context_capsule("kiln", token_budget=asked, valid_at=AT)
    assert list(capsule) == CAPSULE_KEYS
    assert capsule["token_budget"] == budget
    if budget == 1:
        assert capsule["entries"] == [] and capsule["estimated_tokens"] == 0
        assert capsule["omitted_count"] == 1


def test_defaults_an_int_time_and_the_untrimmed_purpose(store):
    rid = store.store("kiln notes")
    capsule = store.build_context_capsule("kiln")
    assert (capsule["token_budget"], capsule["namespace"]) == (2000, "default")
    capsule = store.build_context_capsule(" kiln ", valid_at=int(AT))
    assert capsule["purpose"] == " kiln " and [e["record_id"] for e in capsule["entries"]] == [rid]


def test_categories_and_what_is_counted_nowhere(store):
    rows = {
        "goal": dict(content="finish the slides", tags=["task"], metadata={"status": " done"}),
        "closed": dict(content="finish the report", tags=["task"], metadata={"status": "Done"}),
        "relevant": dict(content="the kiln runs hot"),
        "restricted": dict(content="the kiln secret", tags=["goal"]),
        "expiring": dict(content="the kiln schedule", tags=["goal"], valid_until=AT),
        "other": dict(content="the kiln elsewhere", tags=["goal"], namespace="other"),
    }
    ids = {name: store.store(**kwargs) for name, kwargs in rows.items()}
    store.set_record_acl(ids["restricted"], "restricted", read_roles=["ops"])
    capsule = store.build_context_capsule("kiln", valid_at=AT)
    got = {e["record_id"]: e["category"] for e in capsule["entries"]}
    assert got == {ids["goal"]: "active_goal", ids["relevant"]: "purpose_relevant"}
    # "closed" passes the filter but is no candidate; the last three do not pass.
    assert capsule["source_record_count"] == 3
    assert capsule["omitted_count"] == 0
    entry = capsule["entries"][0]
    assert list(entry) == ENTRY_KEYS
    assert entry["record_id"] == ids["goal"] and entry["level"] == "WORKING"
    assert entry["confidence"] == pytest.approx(0.8999999761581421, abs=0)


def test_hash_is_stable_and_follows_one_character(tmp_path):
    from vesk._core import Vesk

    def capsule_of(path, text):
        with Vesk(str(tmp_path / path)) as v:
            v.store(text, semantic_type="decision")
            v.store("the glaze recipe", semantic_type="decision")
            first = v.build_context_capsule("kiln glaze", valid_at=AT)
            assert v.build_context_capsule("kiln glaze", valid_at=AT)["capsule_hash"] == first["capsule_hash"]
            return first

    a = capsule_of("a", "fire the kiln at noon")
    b = capsule_of("b", "fire the kiln at noom")
    assert len(a["capsule_hash"]) == 64 and a["capsule_hash"] != b["capsule_hash"]


def test_budget_of_25_places_one_cut_entry(store):
    long = store.store("kiln " * 40, semantic_type="decision")
    store.store("kiln")
    capsule = store.build_context_capsule("kiln", token_budget=25, valid_at=AT)
    [entry] = capsule["entries"]
    assert entry["record_id"] == long
    assert len(entry["content"]) == 36 and entry["content"].endswith("\u2026")
    assert entry["estimated_tokens"] == 25 == capsule["estimated_tokens"]
    assert capsule["omitted_count"] == 1


def test_compacted_capsule(store):
    text = "As previously mentioned, the deploy runs at noon.  The deploy runs at noon."
    goal_text = "As previously mentioned, deploy the fix.  Deploy the fix."
    rid = store.store(text)
    goal = store.store(goal_text, tags=["goal"], content_type="text")
    for budget in (25, 40, 2000):
        compacted = store.build_compacted_context_capsule("deploy", token_budget=budget, valid_at=AT)
        plain = store.build_context_capsule("deploy", token_budget=budget, valid_at=AT)
        assert list(compacted) == CAPSULE_KEYS + ["compaction"]
        assert compacted["compaction"]["baseline_entry_count"] == len(plain["entries"])
    entries = {e["record_id"]: e["content"] for e in compacted["entries"]}
    assert entries == {rid: "the deploy runs at noon. The deploy runs at noon.", goal: goal_text}
    c = compacted["compaction"]
    assert (c["transformed_entry_count"], c["protected_entry_count"]) == (1, 1)
    assert c["originals_unchanged"] is True
    assert c["saved_tokens"] == c["original_equivalent_tokens"] - c["compacted_tokens"] > 0
    assert math.isclose(c["reduction_ratio"], c["saved_tokens"] / c["original_equivalent_tokens"], rel_tol=1e-6)
    assert store.get(rid).content == text
    assert "compaction" not in store.build_context_capsule("deploy", valid_at=AT)
