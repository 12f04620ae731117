"""Outcome receipts from Python: capture_outcome_receipt and outcome_receipts.

Ids and digests are recomputed here with hashlib and json, apart from the
store's own code."""

import hashlib
import json
import os
from pathlib import Path

import pytest

from vesk._core import Vesk

FIELDS = ["schema_version", "receipt_id", "task_id", "lineage_id", "attempt_id", "candidate_record_ids",
          "selected_record_ids", "outcome", "supersedes_receipt_id", "namespace", "provenance", "recorded_at_ms",
          "logging_policy_id", "selected_set_probability_bps", "candidate_verdicts", "verifier_id",
          "integrity_digest"]
CONFLICT = "conflicting outcome receipt for namespace/task/attempt"


@pytest.fixture
def two(store):
    """The store with two records, their ids in ascending order."""
    return store, sorted([store.store("the deploy needs the staging key"), store.store("the kiln fires at 1240")])


def capture(v, candidates, task="t1", attempt="a1", outcome="helpful", selected=None, **kwargs):
    return v.capture_outcome_receipt(task, "l1", attempt, candidates, candidates[:1] if selected is None else selected,
                                     outcome, **kwargs)


def receipt_lines(directory):
    return [line for f in sorted(Path(directory).glob("brain.audit*"))
            for line in f.read_text(encoding="utf-8").splitlines() if '"outcome_receipt"' in line]


def test_a_repeated_capture_returns_the_stored_receipt(tmp_path, two):
    v, (a, b) = two
    first = capture(v, [a, b])
    assert list(first) == FIELDS
    assert capture(v, [a, b]) == first
    assert v.outcome_receipts() == [first]
    assert len(receipt_lines(tmp_path / "store")) == 1


@pytest.mark.parametrize("change", [
    dict(outcome="unhelpful"),
    dict(order="reversed"),
    dict(provenance=["agent:other"]),
    dict(logging_policy_id="p1", selected_set_probability_bps=5000),
])
def test_another_request_for_the_same_attempt_conflicts(tmp_path, two, change):
    v, (a, b) = two
    capture(v, [a, b])
    change = dict(change)
    candidates = [b, a] if change.pop("order", None) else [a, b]
    with pytest.raises(RuntimeError) as e:
        capture(v, candidates, selected=[a], **change)
    assert str(e.value) == CONFLICT
    assert len(receipt_lines(tmp_path / "store")) == 1


@pytest.mark.parametrize("kwargs, error, message", [
    (dict(candidates=[]), RuntimeError, "candidate_record_ids must contain 1..=64 values"),
    (dict(candidates=[f"c{i}" for i in range(65)]), RuntimeError, "candidate_record_ids must contain 1..=64 values"),
    (dict(selected=[]), RuntimeError, "helpful and unhelpful outcomes require selected_record_ids"),
    (dict(logging_policy_id="p1", selected_set_probability_bps=0), RuntimeError,
     "selected_set_probability_bps must be within 1..=10000"),
    (dict(verifier_id="v1"), RuntimeError, "verifier_id requires candidate_verdicts"),
    (dict(namespace="a b"), RuntimeError, "Namespace must contain only ASCII alphanumeric, hyphens, or underscores"),
    (dict(namespace="  "), RuntimeError, "namespace must be non-empty, control-free, and at most 128 bytes"),
    (dict(outcome="maybe"), ValueError, "invalid outcome 'maybe'; expected helpful, unhelpful, or inconclusive"),
    (dict(verdicts=" nope", verifier_id="v1"), ValueError,
     "invalid outcome ' nope'; expected helpful, unhelpful, or inconclusive"),
    (dict(selected_set_probability_bps=65536), OverflowError, "out of range integral type conversion attempted"),
    (dict(candidates="abc"), TypeError,
     "argument 'candidate_record_ids': a str cannot be taken as a list; pass a list or a tuple"),
])
def test_refused_requests_write_nothing(two, kwargs, error, message):
    v, (a, b) = two
    kwargs = dict(kwargs)
    candidates = kwargs.pop("candidates", [a, b])
    if "verdicts" in kwargs:
        kwargs["candidate_verdicts"] = {a: kwargs.pop("verdicts")}
    with pytest.raises(error) as e:
        capture(v, candidates, selected=kwargs.pop("selected", [a]), **kwargs)
    assert str(e.value) == message
    assert v.outcome_receipts() == []


def test_id_and_digest_can_be_recomputed(two):
    v, (a, b) = two
    task, provenance = 'tâche "1"', ["agent\\7", "sdk:é"]
    plain = capture(v, [a, b], task=task, selected=[b], provenance=provenance)
    assert plain["receipt_id"] == hashlib.sha256(f"1\x1fdefault\x1f{task}\x1fa1".encode()).hexdigest()[:24]
    material = [1, plain["receipt_id"], task, "l1", "a1", [a, b], [b], "helpful", None, "default", provenance,
                plain["recorded_at_ms"]]
    text = json.dumps(material, separators=(",", ":"), ensure_ascii=False)
    assert plain["integrity_digest"] == hashlib.sha256(text.encode()).hexdigest()

    judged = capture(v, [a, b], task=task, attempt="a2", outcome="inconclusive", selected=[],
                     supersedes_receipt_id=plain["receipt_id"], logging_policy_id="p1",
                     selected_set_probability_bps=10000, candidate_verdicts={a: "success"}, verifier_id="v1")
    assert judged["schema_version"] == 2
    assert judged["receipt_id"] == hashlib.sha256(f"2\x1fdefault\x1f{task}\x1fa2".encode()).hexdigest()[:24]
    material = [2, judged["receipt_id"], task, "l1", "a2", [a, b], [], "inconclusive", plain["receipt_id"],
                "default", ["sdk:python"], judged["recorded_at_ms"], "p1", 10000,
                [{"record_id": a, "outcome": "helpful"}], "v1"]
    text = json.dumps(material, separators=(",", ":"), ensure_ascii=False)
    assert judged["integrity_digest"] == hashlib.sha256(text.encode()).hexdigest()


def test_candidates_must_be_records_of_the_receipts_namespace(store):
    here = store.store("a record of the default namespace")
    there = store.store("a record of the work namespace", namespace="work")
    with pytest.raises(RuntimeError) as e:
        capture(store, [here, "000000000000", "000000000001"])
    assert str(e.value) == "outcome receipt candidate record does not exist: 000000000000"
    with pytest.raises(RuntimeError) as e:
        capture(store, [here, there])
    assert str(e.value) == f"outcome receipt candidate {there} belongs to namespace work, not default"
    assert capture(store, [there], namespace="work")["namespace"] == "work"


def test_verdicts_are_sorted_and_provenance_has_a_default(two):
    v, (r1, r2) = two
    judged = capture(v, [r1, r2], candidate_verdicts={r2: "failed", r1: "passed"}, verifier_id="v1")
    assert judged["schema_version"] == 2
    assert judged["candidate_verdicts"] == [{"record_id": r1, "outcome": "helpful"},
                                            {"record_id": r2, "outcome": "unhelpful"}]
    assert judged["provenance"] == ["sdk:python"]
    assert judged["logging_policy_id"] is None and judged["selected_set_probability_bps"] is None
    bare = capture(v, [r1], attempt="a2", provenance=[], candidate_verdicts={})
    assert bare["schema_version"] == 1 and bare["provenance"] == [] and bare["candidate_verdicts"] == []


def test_listing_filters_and_orders_by_time(two):
    v, (a, b) = two
    other = v.store("a record kept apart", namespace="work")
    x = capture(v, [a], task="t1")
    y = capture(v, [b], task="t2")
    z = v.capture_outcome_receipt("t3", "l2", "a1", [other], [other], "unhelpful", namespace="work")
    everything = v.outcome_receipts()
    assert everything == sorted([x, y, z], key=lambda r: (r["recorded_at_ms"], r["receipt_id"]))
    assert v.outcome_receipts(namespace="work") == [z]
    assert v.outcome_receipts(lineage_id="l1") == [r for r in everything if r["lineage_id"] == "l1"]
    assert v.outcome_receipts(namespace="work", lineage_id="l1") == []
    assert v.outcome_receipts(namespace="nowhere") == []


def _set_apart(path):
    """Moves a file's modification time away from the store's last look at
    it, as an edit at another moment would, whatever the tick of the file
    system's clock."""
    st = os.stat(path)
    os.utime(path, ns=(st.st_atime_ns, st.st_mtime_ns - 3_600_000_000_000))


def test_a_tampered_receipt_fails_every_call(tmp_path, two):
    v, (a, b) = two
    kept = capture(v, [a, b])
    assert v.outcome_receipts() == [kept]
    audit = tmp_path / "store" / "brain.audit"
    text = audit.read_text(encoding="utf-8")
    digest = kept["integrity_digest"]
    audit.write_text(text.replace(digest, ("0" if digest[0] != "0" else "1") + digest[1:]), encoding="utf-8")
    _set_apart(audit)
    message = f"outcome receipt integrity mismatch: {kept['receipt_id']}"
    for call in (v.outcome_receipts, lambda: capture(v, [a], attempt="a2"), lambda: capture(v, [a, b])):
        with pytest.raises(RuntimeError) as e:
            call()
        assert str(e.value) == message
    v.close()
    with Vesk(str(tmp_path / "store")) as again:
        with pytest.raises(RuntimeError) as e:
            again.outcome_receipts()
        assert str(e.value) == message


@pytest.mark.parametrize("password", [None, "secret"])
def test_a_foreign_line_fails_an_encrypted_store_and_is_skipped_in_a_plain_one(tmp_path, password):
    with Vesk(str(tmp_path / "store"), password=password) as v:
        a = v.store("a record for the receipt")
        kept = capture(v, [a])
        with open(tmp_path / "store" / "brain.audit", "a", encoding="utf-8") as f:
            f.write('garbage, not an audit entry\n')
        if password is None:
            assert v.outcome_receipts() == [kept]
            assert capture(v, [a]) == kept
        else:
            for call in (v.outcome_receipts, lambda: capture(v, [a])):
                with pytest.raises(RuntimeError) as e:
                    call()
                assert str(e.value) == "plaintext audit entry in encrypted memory"


@pytest.mark.parametrize("password", [None, "secret"])
def test_rotated_files_are_read_even_without_a_current_file(tmp_path, password):
    directory = tmp_path / "store"
    with Vesk(str(directory), password=password) as v:
        a = v.store("a record for the receipts")
        old = capture(v, [a], task="old")
    os.rename(directory / "brain.audit", directory / "brain.audit.1000")
    with Vesk(str(directory), password=password) as v:
        new = capture(v, [a], task="new")
        assert v.outcome_receipts() == [old, new]
        # The current file gone, as for a moment while the journal rotates:
        # the rotated files still hold the receipts, and a repeat is still a
        # repeat.
        os.rename(directory / "brain.audit", directory / "brain.audit.9999999999999")
        assert v.outcome_receipts() == [old, new]
        assert capture(v, [a], task="old") == old
    if password is None:
        assert len(receipt_lines(directory)) == 2
