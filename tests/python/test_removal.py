"""delete and purge_record: what goes, what stays, and what a reopen shows."""

import hashlib
import json
from pathlib import Path

import pytest

from vesk._core import Vesk

KEYS = [
    "record_digest", "scope", "active_record_removed", "beliefs_removed", "concepts_removed",
    "causal_patterns_removed", "policy_hints_removed", "topology_removed", "snapshots_rewritten",
    "audit_entries_removed", "removed_surfaces",
]


def audit_lines(directory: Path) -> dict[str, list[bytes]]:
    return {
        p.name: p.read_bytes().splitlines()
        for p in sorted(directory.glob("brain.audit*"))
    }


def test_delete_cuts_links_and_stays_gone(tmp_path):
    path = str(tmp_path / "s")
    v = Vesk(path)
    rid = v.store("the record everyone links to")
    linked = [v.store(f"linked record number {i}") for i in range(3)]
    for other in linked:
        v.connect(other, rid, 0.6, "peer_of")
    child = v.store("a consequence of it", caused_by_id=rid)
    assert v.delete(rid) is True
    assert v.delete(rid) is False
    assert v.get(rid) is None
    v.close()

    v = Vesk(path)
    assert v.get(rid) is None
    for other in linked:
        r = v.get(other)
        assert rid not in r.connections and rid not in r.connection_types
    assert v.get(child).caused_by_id is None
    assert v.delete(rid) is False
    v.close()


@pytest.mark.parametrize("scope", ["History", "", "ACTIVE", "current-storage"])
def test_purge_refuses_an_unknown_scope_before_anything(store, scope):
    rid = store.store("kept whatever the scope says")
    with pytest.raises(ValueError) as e:
        store.purge_record(rid, scope)
    assert str(e.value) == (
        f"invalid purge scope '{scope}'; expected active, derived, current_storage, or history"
    )
    assert store.get(rid) is not None


def test_purge_of_an_id_never_stored(tmp_path):
    v = Vesk(str(tmp_path / "s"))
    before = audit_lines(tmp_path / "s")["brain.audit"]
    report = v.purge_record("never-stored", "active")
    assert list(report) == KEYS
    assert report == {
        "record_digest": hashlib.sha256(b"never-stored").hexdigest(),
        "scope": "active",
        "active_record_removed": False,
        "beliefs_removed": 0,
        "concepts_removed": 0,
        "causal_patterns_removed": 0,
        "policy_hints_removed": 0,
        "topology_removed": False,
        "snapshots_rewritten": 0,
        "audit_entries_removed": 0,
        "removed_surfaces": ["active", "derived"],
    }
    added = audit_lines(tmp_path / "s")["brain.audit"][len(before):]
    assert len(added) == 1 and json.loads(added[0])["action"]["purge"]["scope"] == "active"
    v.close()


def test_purge_current_storage_rewrites_the_log(tmp_path):
    path = tmp_path / "s"
    v = Vesk(str(path))
    rid = v.store("a secret text that must leave the record log")
    others = {v.store(f"an ordinary record to keep, number {i}"): i for i in range(5)}
    kept = {oid: (v.get(oid).content, v.get(oid).strength) for oid in others}
    v.flush()
    report = v.purge_record(rid, "current_storage")
    assert list(report) == KEYS
    assert report["record_digest"] == hashlib.sha256(rid.encode()).hexdigest()
    assert report["removed_surfaces"] == ["active", "derived", "current_storage"]
    assert report["active_record_removed"] is True
    # The store goes on working on the rewritten log.
    after = v.store("stored after the purge")
    v.close()

    for name in ("brain.vesk", "brain.cog"):
        assert b"a secret text" not in (path / name).read_bytes()
    assert not list(path.glob("*.purge.*"))
    v = Vesk(str(path))
    assert v.get(rid) is None
    assert {oid: (v.get(oid).content, v.get(oid).strength) for oid in others} == kept
    assert v.get(after).content == "stored after the purge"
    again = v.purge_record(rid, "current_storage")
    assert again["active_record_removed"] is False
    v.close()


def test_purge_history_rewrites_snapshots_and_audit_files(tmp_path):
    path = tmp_path / "s"
    v = Vesk(str(path))
    rid = v.store("the purged record, build_4417 deploy note")
    keep = v.store("a neighbour that links to it")
    third = v.store("a record that does not link to it")
    v.connect(keep, rid)
    snap = Path(v.snapshot("withit"))
    # A snapshot that never held the record keeps its bytes.
    untouched = Path(str(snap).replace("withit", "without"))
    untouched.write_bytes(b"[]")
    v.close()
    # A rotated file: one line naming the record, one that does not.
    rotated = path / "brain.audit.1700000000000"
    unrelated = json.dumps({
        "timestamp": 1, "time_iso": "1970-01-01T00:00:01Z", "action": {"update": {"id": "someone-else"}},
        "context": "ok", "session_id": "session_1",
    }, separators=(",", ":")).encode()
    naming = json.dumps({
        "timestamp": 2, "time_iso": "1970-01-01T00:00:02Z", "action": {"retrieve": {
            "query_preview": "when does build_4417 ship", "results_count": 1}},
        "session_id": "session_1",
    }, separators=(",", ":")).encode()
    rotated.write_bytes(unrelated + b"\n" + naming + b"\nnot json at all\n")

    v = Vesk(str(path))
    before = audit_lines(path)
    report = v.purge_record(rid, "history")
    assert report["removed_surfaces"] == ["active", "derived", "current_storage", "history"]
    assert report["snapshots_rewritten"] == 1
    after = audit_lines(path)
    assert set(after) == set(before)
    removed = 0
    for name, lines in after.items():
        assert [line for line in lines if rid.encode() in line] == []
        old = before[name]
        # Kept lines are the old ones, byte for byte, in order; the new
        # lines of the current file are the purge entry (and nothing else
        # naming the record).
        assert [line for line in old if line in lines] == lines[: len([line for line in old if line in lines])]
        removed += len([line for line in old if line not in lines])
    # ... plus the purge's own "delete" entry, written and then removed.
    assert report["audit_entries_removed"] == removed + 1
    assert rotated.read_bytes() == unrelated + b"\nnot json at all\n"
    last = json.loads(after["brain.audit"][-1])
    assert last["action"]["purge"]["record_digest"] == hashlib.sha256(rid.encode()).hexdigest()

    records = json.loads(snap.read_text())
    assert [r["id"] for r in records] == [keep, third]
    assert rid not in json.dumps(records)
    assert untouched.read_bytes() == b"[]"
    assert v.get(keep).connections == {}
    v.close()


def test_strict_delete_purges_a_record_left_in_the_log(tmp_path):
    path = tmp_path / "s"
    v = Vesk(str(path))
    rid = v.store("deleted under balanced, still in the log")
    assert v.delete(rid) is True
    v.close()
    assert b"still in the log" in (path / "brain.vesk").read_bytes()

    v = Vesk(str(path))
    v.set_security_profile("strict")
    assert v.delete(rid) is False
    assert v.delete("never-there") is False
    v.close()
    assert b"still in the log" not in (path / "brain.vesk").read_bytes()
    for lines in audit_lines(path).values():
        assert not any(rid.encode() in line for line in lines)


def test_history_purge_in_a_password_store(tmp_path):
    path = tmp_path / "s"
    v = Vesk(str(path), "pw")
    rid = v.store("a sealed record to purge completely")
    others = [v.store(f"a sealed record to keep {i}") for i in range(3)]
    v.snapshot("sealed")
    before = {name: lines for name, lines in audit_lines(path).items()}
    report = v.purge_record(rid, "history")
    assert report["snapshots_rewritten"] == 1
    # The store's own "store" and "delete" entries of the record went.
    assert report["audit_entries_removed"] == 2
    after = audit_lines(path)["brain.audit"]
    assert all(line.startswith(b"AEF1:") for line in after)
    assert [line for line in before["brain.audit"] if line in after] == after[: len(before["brain.audit"]) - 1]
    v.close()

    v = Vesk(str(path), "pw")
    assert v.get(rid) is None
    assert [v.get(o).content for o in others] == [f"a sealed record to keep {i}" for i in range(3)]
    v.close()
