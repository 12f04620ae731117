"""Claim certainty and the caller's classifiers on the store road; record
access lists and decisions."""

import json
import os
import struct
import threading
import zlib

import pytest

from vesk._core import Level, Vesk

HEARSAY = "I heard the shop closed early today"
IDENTITY = "my name is Ann and I live here now"


@pytest.fixture
def brain(tmp_path):
    v = Vesk(str(tmp_path / "store"))
    yield v
    v.close()


def seeded(tmp_path, *records):
    """A store opened over a journal holding the records (kind-1 frames)."""
    path = tmp_path / "seeded"
    os.makedirs(path)
    with open(path / "brain.cog", "wb") as f:
        f.write(b"COG1\x02")
        for rid, content, metadata in records:
            payload = json.dumps({"id": rid, "content": content, "level": "Working", "strength": 1.0,
                                  "activation_count": 0, "created_at": 1.5, "last_activated": 1.5, "tags": [],
                                  "connections": {}, "content_type": "text", "metadata": metadata}).encode()
            f.write(struct.pack("<BII", 1, len(payload), zlib.crc32(payload)) + payload)
    return Vesk(str(path))


# ---- Record access ---------------------------------------------------------------


def test_acl_lists_are_normalised_and_decide_access(tmp_path):
    brain = seeded(tmp_path, ("aaaaaaaaaaaa", "a restricted memory text", {"k": "v"}))
    rec = brain.set_record_acl("aaaaaaaaaaaa", "restricted", read_roles=[" Admin ", "ops", "admin", ""])
    assert rec.id == "aaaaaaaaaaaa"
    assert rec.metadata == {"k": "v", "acl_visibility": "restricted", "acl_read_roles": "admin,ops"}
    assert brain.get("aaaaaaaaaaaa").metadata == rec.metadata

    allowed = brain.check_record_access("aaaaaaaaaaaa", roles=["ADMIN"])
    assert allowed == {"allowed": True, "reason": "allow_list_match", "policy_version": None}
    assert list(allowed) == ["allowed", "reason", "policy_version"]
    assert brain.check_record_access("aaaaaaaaaaaa", roles=[" admin"])["reason"] == "restricted_no_match"
    assert brain.check_record_access("aaaaaaaaaaaa", subject_id="x", groups=["g"])["allowed"] is False

    brain.set_record_acl("aaaaaaaaaaaa", "public", read_groups=["G"], policy_version="p1")
    assert brain.get("aaaaaaaaaaaa").metadata == {"k": "v", "acl_visibility": "public", "acl_read_groups": "g",
                                                 "acl_policy_version": "p1"}
    assert brain.check_record_access("aaaaaaaaaaaa") == {"allowed": True, "reason": "public_or_legacy",
                                                         "policy_version": "p1"}
    brain.close()


def test_acl_refusals_and_unknown_ids(tmp_path):
    brain = seeded(tmp_path, ("aaaaaaaaaaaa", "a memory text", {"acl_visibility": "secret"}))
    assert brain.check_record_access("aaaaaaaaaaaa", roles=["admin"]) == {
        "allowed": False, "reason": "invalid_visibility_deny", "policy_version": None}
    with pytest.raises(ValueError, match="^visibility must be 'public' or 'restricted'$"):
        brain.set_record_acl("aaaaaaaaaaaa", "Public")
    with pytest.raises(TypeError, match="read_roles"):
        brain.set_record_acl("aaaaaaaaaaaa", "restricted", read_roles="admin")
    assert brain.get("aaaaaaaaaaaa").metadata == {"acl_visibility": "secret"}
    assert brain.set_record_acl("bbbbbbbbbbbb", "public") is None
    assert brain.check_record_access("bbbbbbbbbbbb") is None
    brain.close()


def test_restricted_record_is_no_duplicate(brain):
    text = "The deploy key lives in the vault"
    first = brain.store(text)
    assert brain.store(text) == first
    brain.set_record_acl(first, "restricted", read_roles=["ops"])
    second = brain.store(text)
    assert second != first
    assert brain.count() == 2


def test_restricted_record_never_reaches_an_anonymous_recall(brain):
    secret = brain.store("The vault rotation schedule is every ninety days")
    brain.store("The vault door was painted green last spring")
    assert secret in [item["id"] for item in brain.recall_structured("vault rotation schedule")]
    brain.set_record_acl(secret, "restricted", read_roles=["ops"])
    assert secret not in [item["id"] for item in brain.recall_structured("vault rotation schedule")]
    assert "ninety days" not in brain.recall("vault rotation schedule")


# ---- Claim certainty ---------------------------------------------------------------


def test_claim_rules_label_and_lower_confidence(brain):
    rid = brain.store("Plain first text to keep", deduplicate=False)
    assert "claim_certainty" not in brain.get(rid).metadata
    brain.set_claim_rules_enabled(True)
    cases = [
        (HEARSAY, "hearsay", 0.6299999952316284),
        ("It's probably fine by tomorrow morning", "hedged", 0.7649999856948853),
        ("Perhaps it is likely to work", "speculative", 0.6299999952316284),
        ("The build passes on main", "asserted", 0.8999999761581421),
    ]
    for text, label, confidence in cases:
        r = brain.get(brain.store(text))
        assert (r.metadata["claim_certainty"], r.confidence) == (label, confidence), text
    r = brain.get(brain.store(HEARSAY + " again", content_type="application/json"))
    assert "claim_certainty" not in r.metadata and r.confidence == 0.8999999761581421
    brain.set_claim_rules_enabled(False)
    assert "claim_certainty" not in brain.get(brain.store("I heard it twice now")).metadata


def test_identity_phrase_sets_identity_level_only_without_a_level(brain):
    brain.set_claim_rules_enabled(True)
    assert brain.get(brain.store(IDENTITY)).level == Level.Identity
    assert brain.get(brain.store(IDENTITY + " too", level=Level.Working)).level != Level.Identity
    brain.set_claim_rules_enabled(False)
    assert brain.get(brain.store(IDENTITY + " as well")).level != Level.Identity


def test_claim_classifier_answers_and_failures(brain, capsys):
    brain.set_claim_rules_enabled(True)
    assert brain.set_claim_classifier(lambda t: "  ASSERTED ") is None
    assert brain.get(brain.store(HEARSAY)).metadata["claim_certainty"] == "asserted"

    def boom(text):
        raise RuntimeError("classifier down")

    for junk in (boom, lambda t: "sure", lambda t: None, lambda t: 3, 42):
        brain.set_claim_classifier(junk)
        rid = brain.store(HEARSAY, deduplicate=False)
        assert brain.get(rid).metadata["claim_certainty"] == "hearsay"  # the rules decide
    brain.set_claim_rules_enabled(False)
    assert "claim_certainty" not in brain.get(brain.store(HEARSAY, deduplicate=False)).metadata
    brain.set_claim_classifier(lambda t: "hedged")
    assert brain.clear_claim_classifier() is None
    assert "claim_certainty" not in brain.get(brain.store(HEARSAY, deduplicate=False)).metadata
    assert capsys.readouterr() == ("", "")


def test_outcome_classifier_yields_to_caller_metadata(brain):
    assert brain.set_outcome_classifier(lambda t: "NEGATIVE") is None
    assert brain.get(brain.store("The migration broke the nightly job")).metadata["outcome"] == "negative"
    kept = brain.get(brain.store("The migration fixed the nightly job", metadata={"outcome": "x"}))
    assert kept.metadata["outcome"] == "x"
    brain.set_outcome_classifier(lambda t: 1)
    assert "outcome" not in brain.get(brain.store("The rollout went out on time")).metadata
    assert brain.clear_outcome_classifier() is None


def test_classifier_is_called_from_concurrent_stores(brain):
    """Four threads store at once through a Python classifier: the road runs
    without the interpreter lock, the classifier takes it for each call, and
    no store lock is held meanwhile (the classifier reads the store)."""

    def classify(text):
        brain.count()
        return "hedged" if int(text[-1]) % 2 else "speculative"

    brain.set_claim_classifier(classify)
    ids, errors = [], []

    def writer(n):
        try:
            for i in range(25):
                ids.append(brain.store(f"thread {n} writes memory number {i}"))
        except Exception as e:  # noqa: BLE001 - reported below
            errors.append(e)

    threads = [threading.Thread(target=writer, args=(n,)) for n in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join(timeout=60)
    assert not any(t.is_alive() for t in threads) and not errors
    assert len(set(ids)) == 100
    for rid in ids:
        r = brain.get(rid)
        assert r.metadata["claim_certainty"] == ("hedged" if int(r.content[-1]) % 2 else "speculative")
