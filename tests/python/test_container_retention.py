"""Holds, retention planning, compaction, authenticity checkpoints and the
retention scheduler of portable containers, from Python."""

import gc
import os
import pathlib

import pytest

from container_files import Container, public_key
from vesk._core import Vesk

KEY = bytes(range(32))
KEY_HEX = KEY.hex()
PUBLIC_HEX = public_key(KEY).hex()

PLAN_KEYS = ["evaluated_generations", "keep_generations", "drop_generations", "selected_keep_last", "age_cutoff",
             "estimated_compacted_size", "size_target_met", "held_generations", "hold_floor_generation",
             "limits_blocked_by_holds", "reasons"]
COMPACTION_KEYS = ["path", "kept_generations", "dropped_generation_count", "copied_segment_count",
                   "reused_segment_count", "previous_size", "compacted_size", "reclaimed_bytes",
                   "trailing_bytes_removed"]
STATUS_KEYS = ["path", "running", "interval_seconds", "run_count", "last_run_at", "last_reclaimed_bytes",
               "last_error"]


def failure(call, *args, **kwargs):
    with pytest.raises(OSError) as e:
        call(*args, **kwargs)
    assert type(e.value) is OSError and len(e.value.args) == 1
    return e.value.args[0]


def files(n):
    return {"brain.vesk": b"records %d" % n, "index/sdr.idx": b"\x00\x01index", "temporal.bin": b"t" * (n % 3)}


def container(tmp_path, count, *, key=None, name="c.vesk"):
    c = Container()
    for n in range(1, count + 1):
        c.add(files(n), key=key)
    return c, c.write(tmp_path / name)


# ---- Holds -------------------------------------------------------------------


def test_holds_write_control_generations_only_on_change(tmp_path):
    c, p = container(tmp_path, 5)
    size = os.path.getsize(p)
    held = Vesk.hold_container_generation(p, 3, "audit")
    assert list(held) == ["control_generation", "held_generation", "active_holds"]
    assert held["control_generation"] == 6 and held["held_generation"] == 3
    assert [(h["generation"], h["label"]) for h in held["active_holds"]] == [(3, "audit")]
    latest = Vesk.inspect_container(p)
    assert latest["generation"] == 6 and latest["holds"] == held["active_holds"]
    assert [s["offset"] for s in latest["segments"]] == [s["offset"] for s in c.tocs[4]["segments"]]
    grown = os.path.getsize(p)
    assert grown > size + 80

    again = Vesk.hold_container_generation(p, 3, "  audit \u3000")
    assert again["control_generation"] == 6 and os.path.getsize(p) == grown
    assert Vesk.release_container_generation_hold(p, 4)["control_generation"] == 6
    relabelled = Vesk.hold_container_generation(p, 3, "legal")
    assert relabelled["control_generation"] == 7
    assert [h["label"] for h in relabelled["active_holds"]] == ["legal"]
    released = Vesk.release_container_generation_hold(p, 3)
    assert released["control_generation"] == 8 and released["active_holds"] == []
    assert failure(Vesk.hold_container_generation, p, 9, "x") == "Vesk container generation not found: 9"


@pytest.mark.parametrize("label, accepted", [
    ("a" * 256, True),
    ("\u20ac" * 85, True),
    ("\u20ac" * 86, False),  # 258 bytes
    ("   ", False),
    ("tab\there", False),
    ("c1\u0085control", False),
])
def test_hold_labels(tmp_path, label, accepted):
    _, p = container(tmp_path, 2)
    if accepted:
        assert Vesk.hold_container_generation(p, 1, label)["active_holds"][0]["label"] == label
    else:
        before = open(p, "rb").read()
        assert failure(Vesk.hold_container_generation, p, 1, label) == \
            "Vesk generation hold label must be 1-256 printable characters"
        assert open(p, "rb").read() == before


def test_signed_container_needs_the_signed_hold(tmp_path):
    c, p = container(tmp_path, 2, key=KEY)
    before = open(p, "rb").read()
    assert failure(Vesk.hold_container_generation, p, 1, "x") == \
        "Vesk container generation 2 is signed; use a signed mutation API"
    assert open(p, "rb").read() == before
    held = Vesk.hold_signed_container_generation(p, 1, "x", KEY_HEX)
    auth = Vesk.inspect_container(p)["authenticity"]
    assert held["control_generation"] == 3
    assert auth["previous_manifest_sha256"] == c.tocs[1]["authenticity"]["manifest_sha256"]
    assert Vesk.verify_container_authenticity(p, PUBLIC_HEX)["generation_count"] == 3
    assert Vesk.release_signed_container_generation_hold(p, 1, KEY_HEX)["active_holds"] == []


def test_damaged_generation_before_intact_ones_is_never_cut_off(tmp_path):
    c, p = container(tmp_path, 5)
    data = bytearray(c.bytes())
    data[c.starts[3] - 2] ^= 0xFF  # inside generation 3's TOC
    open(p, "wb").write(data)
    for call, args in [(Vesk.hold_container_generation, (p, 1, "x")),
                       (Vesk.apply_container_retention, (p,)),
                       (Vesk.compact_container, (p, 1))]:
        message = failure(call, *args, **({"max_generations": 1} if call is Vesk.apply_container_retention else {}))
        assert "refusing to cut it off" in message
        assert open(p, "rb").read() == bytes(data)


@pytest.mark.parametrize("args, error", [
    ((-1, "x"), OverflowError),
    ((2 ** 64, "x"), OverflowError),
    ((1.0, "x"), TypeError),
    ((1, None), TypeError),
    ((1, b"x"), TypeError),
])
def test_hold_arguments_refused_before_any_file_call(tmp_path, args, error):
    _, p = container(tmp_path, 2)
    with pytest.raises(error):
        Vesk.hold_container_generation(p, *args)
    assert not os.path.exists(p + ".lock")


def test_hold_on_a_generation_before_the_file_blocks_retention(tmp_path):
    c = Container(first_generation=5)
    c.add(files(5), edit=lambda toc: toc["holds"].append({"generation": 2, "label": "old", "created_at": 1}))
    c.add(files(6))
    p = c.write(tmp_path / "c.vesk")
    assert failure(Vesk.plan_container_retention, p, max_generations=1) == \
        "Vesk container contains a hold for a non-retained generation"
    assert failure(Vesk.compact_container, p, 1) == "Held Vesk generation is not retained"


# ---- Planning ----------------------------------------------------------------


def test_planning_limits_floor_and_holds(tmp_path):
    _, p = container(tmp_path, 10)
    plan = Vesk.plan_container_retention(p, max_generations=3)
    assert list(plan) == PLAN_KEYS
    assert plan["selected_keep_last"] == 3 and plan["reasons"] == ["max_generations=3"]
    assert plan["keep_generations"] == [8, 9, 10] and plan["drop_generations"] == list(range(1, 8))
    assert plan["age_cutoff"] is None and plan["hold_floor_generation"] is None
    assert failure(Vesk.plan_container_retention, p, min_generations=5, max_generations=3) == \
        "max_generations cannot be lower than min_generations"

    tiny = Vesk.plan_container_retention(p, max_size_bytes=1)
    assert tiny["selected_keep_last"] == 1 and tiny["size_target_met"] is False
    assert tiny["reasons"] == ["max_size_bytes=1"]
    young = Vesk.plan_container_retention(p, max_age_seconds=2 ** 40)
    assert young["reasons"] == ["policy_already_satisfied"] and young["age_cutoff"] == 0
    with pytest.raises(TypeError):
        Vesk.plan_container_retention(p, min_generations=None, max_generations=3)
    with pytest.raises(TypeError):
        Vesk.plan_container_retention(p, None, 3)
    for kwargs, message in [({}, "Vesk retention policy must define at least one limit"),
                            ({"max_generations": 0}, "max_generations must be at least one"),
                            ({"max_size_bytes": 0}, "max_size_bytes must be greater than zero")]:
        assert failure(Vesk.plan_container_retention, p, **kwargs) == message

    _, short = container(tmp_path, 2, name="short.vesk")
    assert Vesk.plan_container_retention(short, min_generations=5, max_generations=3)["selected_keep_last"] == 2


def test_hold_floor_raises_the_plan(tmp_path):
    _, p = container(tmp_path, 9)
    assert Vesk.hold_container_generation(p, 2, "legal")["control_generation"] == 10
    plan = Vesk.plan_container_retention(p, max_generations=3)
    assert plan["selected_keep_last"] == 9
    assert plan["reasons"] == ["max_generations=3", "legal_hold_floor=2"]
    assert plan["limits_blocked_by_holds"] is True
    assert plan["held_generations"] == [2] and plan["hold_floor_generation"] == 2
    applied = Vesk.apply_container_retention(p, max_generations=3)
    assert applied["compaction"]["kept_generations"] == list(range(2, 11))


# ---- Compaction --------------------------------------------------------------


def test_signed_container_compacted_still_verifies(tmp_path):
    _, p = container(tmp_path, 10, key=KEY)
    report = Vesk.compact_container(p, 3)
    assert list(report) == COMPACTION_KEYS
    assert report["kept_generations"] == [8, 9, 10] and report["dropped_generation_count"] == 7
    assert report["compacted_size"] == os.path.getsize(p)
    assert report["reclaimed_bytes"] == report["previous_size"] - report["compacted_size"] > 0
    assert Vesk.plan_container_retention(p, max_generations=5)["evaluated_generations"] == [8, 9, 10]
    verified = Vesk.verify_container_authenticity(p, PUBLIC_HEX)
    assert verified["detached_prefix"] is True and verified["chain_start_generation"] == 8
    Vesk.verify_container(p)


def test_compaction_shares_unchanged_bytes_and_drops_a_tail(tmp_path):
    c = Container()
    for body in [b"one", b"two", b"two", b"one"]:
        c.add({"brain.vesk": body})
    p = c.write(tmp_path / "c.vesk")
    with open(p, "ab") as f:
        f.write(b"\x00" * 100)
    size = os.path.getsize(p)
    report = Vesk.compact_container(p, 100)
    assert report["trailing_bytes_removed"] == 100 and os.path.getsize(p) == size - 100
    assert (report["copied_segment_count"], report["reused_segment_count"]) == (3, 1)
    assert report["dropped_generation_count"] == 0
    unchanged = Vesk.compact_container(p, 100)
    assert unchanged["compacted_size"] == unchanged["previous_size"] == size - 100


def test_leftover_temporary_file_blocks_compaction(tmp_path):
    _, p = container(tmp_path, 3)
    temp = tmp_path / "c.vesk.compact.tmp"
    temp.write_bytes(b"left by a crash")
    assert failure(Vesk.compact_container, p, 1) == f"Vesk compaction temporary path already exists: {temp}"
    assert temp.read_bytes() == b"left by a crash"
    assert failure(Vesk.compact_container, p, 0) == "Vesk container compaction must retain at least one generation"


def test_compaction_through_a_link_replaces_the_target(tmp_path):
    _, real = container(tmp_path, 4)
    link = tmp_path / "link.vesk"
    link.symlink_to(real)
    Vesk.compact_container(str(link), 1)
    assert link.is_symlink()
    assert Vesk.inspect_container(real)["generation"] == 4
    assert Vesk.plan_container_retention(real, max_generations=9)["evaluated_generations"] == [4]


# ---- Append with retention -----------------------------------------------------


def test_append_with_retention(store, tmp_path):
    out = str(tmp_path / "backup.vesk")
    store.store("first")
    store.export_container(out)
    store.store("second")
    done = store.append_container_with_retention(out, max_generations=1)
    assert list(done) == ["append", "retention"]
    assert done["append"]["generation"] == 2
    retention = done["retention"]
    assert list(retention)[:6] == ["evaluated_generation_count", "selected_keep_last", "age_cutoff",
                                   "estimated_compacted_size", "size_target_met", "reasons"]
    assert retention["compaction"]["kept_generations"] == [2]
    assert retention["plan"]["keep_generations"] == [2]
    signed_out = str(tmp_path / "signed.vesk")
    store.export_signed_container(signed_out, KEY_HEX)
    store.store("third")
    signed = store.append_signed_container_with_retention(signed_out, KEY_HEX, max_generations=1)
    assert signed["retention"]["compaction"]["kept_generations"] == [2]
    assert Vesk.verify_container_authenticity(signed_out, PUBLIC_HEX)["detached_prefix"] is True


# ---- Checkpoints -------------------------------------------------------------


def test_checkpoint_rollback_and_fork(tmp_path):
    c = Container()
    for n in range(1, 5):
        c.add(files(n), key=KEY)
    p = c.write(tmp_path / "c.vesk")
    cp = str(tmp_path / "trust" / "cp.json")
    written = Vesk.update_container_authenticity_checkpoint(p, cp, PUBLIC_HEX.upper())
    assert list(written) == ["format", "version", "public_key", "generation", "manifest_sha256", "updated_at"]
    assert written["generation"] == 4 and written["public_key"] == PUBLIC_HEX
    assert written["manifest_sha256"] == c.tocs[3]["authenticity"]["manifest_sha256"]
    text = open(cp).read()
    assert text.startswith('{\n  "format": "vesk-authenticity-checkpoint",\n') and text.endswith("\n}")
    assert Vesk.verify_container_authenticity_checkpoint(p, cp)["checkpoint_is_current"] is True

    older = Container()
    for n in range(1, 4):
        older.add(files(n), key=KEY)
    older_path = older.write(tmp_path / "older.vesk")
    rollback = "Vesk container rollback detected: checkpoint generation 4, current generation 3"
    assert failure(Vesk.verify_container_authenticity_checkpoint, older_path, cp) == rollback
    assert failure(Vesk.update_container_authenticity_checkpoint, older_path, cp, PUBLIC_HEX) == rollback

    fork = Container()
    for n in range(1, 4):
        fork.add(files(n), key=KEY)
    fork.add({"brain.vesk": b"another fourth"}, key=KEY)
    fork_path = fork.write(tmp_path / "fork.vesk")
    forked = "Vesk container fork detected at checkpoint generation 4"
    assert failure(Vesk.verify_container_authenticity_checkpoint, fork_path, cp) == forked
    fork.add({"brain.vesk": b"and a fifth"}, key=KEY)
    fork.write(tmp_path / "fork.vesk")
    assert failure(Vesk.verify_container_authenticity_checkpoint, fork_path, cp) == forked
    assert failure(Vesk.update_container_authenticity_checkpoint, fork_path, cp, PUBLIC_HEX) == forked
    Vesk.compact_container(fork_path, 1)  # generation 4 dropped: the 5th still names the forked 4th
    assert failure(Vesk.verify_container_authenticity_checkpoint, fork_path, cp) == forked

    c.add(files(5), key=KEY)
    c.write(tmp_path / "c.vesk")
    ahead = Vesk.verify_container_authenticity_checkpoint(p, cp)
    assert (ahead["advanced_by"], ahead["checkpoint_is_current"]) == (1, False)
    Vesk.compact_container(p, 1)
    assert Vesk.update_container_authenticity_checkpoint(p, cp, PUBLIC_HEX)["generation"] == 5
    assert failure(Vesk.update_container_authenticity_checkpoint, p, p, PUBLIC_HEX) == \
        "Vesk authenticity checkpoint must be separate from the container"


def test_checkpoint_writing_refusals_and_links(tmp_path):
    _, p = container(tmp_path, 2, key=KEY)
    target = tmp_path / "real.json"
    Vesk.update_container_authenticity_checkpoint(p, str(target), PUBLIC_HEX)
    link = tmp_path / "cp.json"
    link.symlink_to(target)
    first = target.read_text()

    other_public = public_key(bytes(range(1, 33))).hex()
    assert failure(Vesk.update_container_authenticity_checkpoint, p, str(link), other_public) == \
        "Vesk authenticity checkpoint belongs to a different signing identity"
    temp = tmp_path / "real.vesk-checkpoint.tmp"
    temp.write_text("left by a crash")
    assert failure(Vesk.update_container_authenticity_checkpoint, p, str(link), PUBLIC_HEX) == \
        f"Vesk checkpoint temporary path already exists: {temp}"
    assert target.read_text() == first
    temp.unlink()

    Vesk.hold_signed_container_generation(p, 1, "x", KEY_HEX)
    assert Vesk.update_container_authenticity_checkpoint(p, str(link), PUBLIC_HEX)["generation"] == 3
    assert link.is_symlink() and '"generation": 3' in target.read_text()
    assert failure(Vesk.verify_container_authenticity_checkpoint, p, str(tmp_path / "none.json")) == \
        f"Vesk authenticity checkpoint does not exist: {tmp_path / 'none.json'}"

    _, unsigned = container(tmp_path, 2, name="unsigned.vesk")
    assert failure(Vesk.update_container_authenticity_checkpoint, unsigned, str(tmp_path / "u.json"),
                   PUBLIC_HEX) == "Vesk container has 2 unsigned retained generation(s)"


# ---- Scheduler ---------------------------------------------------------------


def test_scheduler_slot(store, tmp_path):
    _, p = container(tmp_path, 5)
    status = store.start_container_retention_scheduler(p, 1, max_generations=2)
    assert list(status) == STATUS_KEYS
    assert (status["path"], status["running"], status["run_count"]) == (p, True, 0)
    assert status["last_run_at"] is None and status["last_error"] is None
    assert failure(store.start_container_retention_scheduler, p, 0, max_generations=2) == \
        "Vesk retention scheduler interval must be at least one second"
    assert failure(store.start_container_retention_scheduler, p, 5) == \
        "Vesk retention policy must define at least one limit"
    assert store.container_retention_scheduler_status()["running"] is True
    _, other = container(tmp_path, 2, name="other.vesk")
    assert store.start_container_retention_scheduler(other, 2 ** 63, max_generations=1)["path"] == other
    assert store.container_retention_scheduler_status()["path"] == other
    assert store.stop_container_retention_scheduler() is True
    assert store.stop_container_retention_scheduler() is False
    assert store.container_retention_scheduler_status() is None


def scheduler_threads():
    """Threads of this process named as the scheduler's (the system keeps 15 bytes of a name)."""
    tasks = pathlib.Path("/proc/self/task")
    return sum((t / "comm").read_text().strip() == "vesk-capsule-re" for t in tasks.iterdir())


@pytest.mark.parametrize("ending", ["close", "release"])
def test_ending_the_store_stops_the_scheduler(tmp_path, ending):
    _, p = container(tmp_path, 2)
    store = Vesk(str(tmp_path / "store"))
    store.start_container_retention_scheduler(p, 3600, max_generations=1)
    assert scheduler_threads() == 1
    if ending == "close":
        store.close()
        assert store.container_retention_scheduler_status() is None
    else:
        del store  # the thread is stopped and joined with the store object
        gc.collect()
    assert scheduler_threads() == 0
