"""Labelled snapshots from Python: files "<stem>_snapshot_<label>.json" beside
the store, rolled back to in memory and compared by record id."""

import json

import pytest

from vesk._core import Vesk

LENGTH = "Label must be 1-64 characters"
CHARS = "Label must contain only alphanumeric, dash, or underscore characters"
EMPTY_DIFF = {"added": [], "removed": [], "modified": []}


@pytest.fixture
def mem(tmp_path):
    v = Vesk(str(tmp_path / "mem.db"))
    yield v
    v.close()


def test_snapshot_files_beside_the_store(tmp_path, mem):
    path = mem.snapshot("nightly")
    assert path == str(tmp_path / "mem_snapshot_nightly.json")
    assert (tmp_path / "mem_snapshot_nightly.json").read_bytes() == b"[]"
    rid = mem.store("the tide tables for the harbour", tags=["tide"])
    assert mem.snapshot("nightly") == path, "a label's file is replaced whole"
    (saved,) = json.loads((tmp_path / "mem_snapshot_nightly.json").read_text())
    assert saved["id"] == rid and len(saved) == 27
    assert mem.list_snapshots() == ["nightly"]

    with Vesk(str(tmp_path / "locked"), password="secret") as v:
        v.store("a sealed memory")
        assert open(v.snapshot("x"), "rb").read().startswith(b"AEF1")


def test_a_bare_store_name_snapshots_in_the_working_directory(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    with Vesk("mem") as v:
        assert v.snapshot("nightly") == "mem_snapshot_nightly.json"
        assert v.list_snapshots() == ["nightly"]


@pytest.mark.parametrize(
    "label, message",
    [("", LENGTH), ("a" * 65, LENGTH), ("é" * 65, LENGTH), ("a.b", CHARS), ("a/b", CHARS), ("..", CHARS),
     ("a b", CHARS), ("%", CHARS)],
)
def test_snapshot_labels_that_are_refused(tmp_path, mem, label, message):
    with pytest.raises(RuntimeError) as info:
        mem.snapshot(label)
    assert str(info.value) == message
    assert [p.name for p in tmp_path.iterdir()] == ["mem.db"]


def test_snapshot_labels_that_pass(mem):
    for label in ["a" * 64, "é" * 64, "café-2024_v²"]:
        mem.snapshot(label)
    assert sorted(mem.list_snapshots()) == sorted(["a" * 64, "é" * 64, "café-2024_v²"])


def test_rollback_replaces_the_records_in_memory_only(tmp_path):
    store = str(tmp_path / "mem.db")
    with Vesk(store) as v:
        kept = v.store("the orchard gate is painted green", tags=["orchard"])
        v.snapshot("before")
        later = v.store("the ferry leaves at nine", tags=["ferry"])
        assert v.rollback("before") == 1
        assert v.count() == 1 and v.get(later) is None
        assert [r["id"] for r in v.recall_structured("orchard gate painted")] == [kept]
        assert later not in [r["id"] for r in v.recall_structured("ferry leaves nine")]
    with Vesk(store) as v:
        assert v.count() == 2, "a reopen shows the records of before the rollback"
        assert v.get(later).content == "the ferry leaves at nine"


def test_rollback_of_two_entries_with_one_id_keeps_the_later(tmp_path, mem):
    rid = mem.store("first version of the note")
    path = mem.snapshot("twice")
    (entry,) = json.loads(open(path).read())
    newer = dict(entry, content="second version of the note")
    with open(path, "w") as f:
        json.dump([entry, newer], f)
    assert mem.rollback("twice") == 2
    assert mem.count() == 1
    assert mem.get(rid).content == "second version of the note"


def test_rollback_and_diff_of_a_missing_or_unsafe_label_change_nothing(tmp_path, mem):
    mem.store("a record that stays")
    mem.snapshot("a")
    # "a/../b" would reach b.json through a directory named mem_snapshot_a.
    (tmp_path / "mem_snapshot_a").mkdir()
    (tmp_path / "b.json").write_text("[]")
    for label in ["x", "a/../b", "a\x00"]:
        with pytest.raises(RuntimeError) as info:
            mem.rollback(label)
        assert str(info.value) == f"Snapshot '{label}' not found"
    with pytest.raises(RuntimeError, match="^Snapshot 'x' not found$"):
        mem.diff("a", "x")
    with pytest.raises(RuntimeError, match="^Snapshot 'y' not found$"):
        mem.diff("y", "x")
    assert mem.count() == 1
    # A file that does not hold a record array fails with the reader's message.
    (tmp_path / "mem_snapshot_bad.json").write_text('{"id": 1}')
    with pytest.raises(RuntimeError, match="line 1 column"):
        mem.rollback("bad")
    assert mem.count() == 1


def test_every_listed_label_rolls_back_the_empty_one_too(tmp_path, mem):
    mem.store("a record that goes")
    (tmp_path / "mem_snapshot_.json").write_text("[]")
    (tmp_path / "mem_snapshot_x_snapshot_y.json").write_text("[]")
    assert mem.list_snapshots() == ["", "x_snapshot_y"]
    assert mem.rollback("") == 0
    assert mem.count() == 0
    assert mem.diff("", "x_snapshot_y") == EMPTY_DIFF


def test_diff_by_record_id(tmp_path, mem):
    same = mem.store("unchanged memory of the lighthouse")
    changed = mem.store("the kiln fires at dawn")
    tagged = mem.store("the glaze needs a week", tags=["glaze"])
    gone = mem.store("a record that goes away")
    mem.snapshot("a")
    assert mem.diff("a", "a") == EMPTY_DIFF

    path = tmp_path / "mem_snapshot_a.json"
    records = {r["id"]: r for r in json.loads(path.read_text())}
    records[changed]["content"] = "the kiln fires at noon"
    records[tagged]["tags"] = ["glaze", "pottery"]
    records[tagged]["metadata"] = {"k": "v"}
    del records[gone]
    added = dict(records[same], id="0123456789ab")
    (tmp_path / "mem_snapshot_b.json").write_text(json.dumps([*records.values(), added]))
    assert mem.diff("a", "b") == {"added": ["0123456789ab"], "removed": [gone], "modified": [changed]}


def test_arguments_must_be_text(mem):
    for call in (lambda: mem.snapshot(1), lambda: mem.rollback(None), lambda: mem.diff("a", b"b")):
        with pytest.raises(TypeError):
            call()
