"""Opening, closing and flushing a store from Python; the store object's
status queries and security profile.

Records are seeded by appending frames to the journal "brain.cog" in its
documented format: "COG1", a flags byte (2 for a plain store), then frames of
(kind u8, length u32 LE, CRC-32 u32 LE, payload); kind 1 is one record as JSON.
"""

import json
import os
import pathlib
import struct
import threading
import zlib

import pytest

from vesk._core import Vesk

PROFILE_ERROR = 'unknown security profile {}; expected one of ["balanced", "strict"]'


def record(rid, content=None, **fields):
    r = {"id": rid, "content": content or f"text of {rid}", "level": "Working", "strength": 1.0,
         "activation_count": 0, "created_at": 1700000000.5, "last_activated": 1700000000.5, "tags": [],
         "connections": {}, "content_type": "text", "metadata": {}}
    r.update(fields)
    return r


def frame(kind, payload):
    return struct.pack("<BII", kind, len(payload), zlib.crc32(payload)) + payload


def seed(path, *records):
    """Writes a plain journal holding one kind-1 frame per record."""
    os.makedirs(path, exist_ok=True)
    with open(os.path.join(path, "brain.cog"), "wb") as f:
        f.write(b"COG1\x02")
        for r in records:
            f.write(frame(1, json.dumps(r).encode()))


def frames(path):
    data = pathlib.Path(path, "brain.cog").read_bytes()
    out, at = [], 5
    while at + 9 <= len(data):
        kind, n, _ = struct.unpack_from("<BII", data, at)
        out.append((kind, data[at + 9:at + 9 + n]))
        at += 9 + n
    return out


@pytest.fixture
def store_dir(tmp_path):
    return str(tmp_path / "store")


@pytest.mark.parametrize("given", ["Strict", " strict", "", 'a"b'])
def test_unknown_security_profile_touches_nothing(store_dir, given):
    with pytest.raises(ValueError) as info:
        Vesk(store_dir, security=given)
    assert str(info.value) == PROFILE_ERROR.format(json.dumps(given))
    assert not os.path.exists(store_dir)


def test_new_store_repr_and_status(store_dir):
    v = Vesk(store_dir)
    assert repr(v) == f"Vesk(path='{store_dir}', records=0, encrypted=false)"
    assert pathlib.Path(store_dir, "brain.cog").read_bytes() == b"COG1\x02"
    assert (v.is_encrypted(), v.is_background_running(), v.has_synonyms()) == (False, False, False)
    assert v.stop_background() is None
    assert v.security_profile == "balanced"
    with pytest.raises(AttributeError):
        v.security_profile = "strict"
    assert v.flush() is None and v.close() is None


def test_constructor_arguments_are_strict(store_dir):
    with pytest.raises(TypeError) as info:
        Vesk(pathlib.Path(store_dir))
    assert str(info.value).startswith("argument 'path': ")
    with pytest.raises(TypeError) as info:
        Vesk(store_dir, password=b"pw")
    assert str(info.value).startswith("argument 'password': ")
    with pytest.raises(TypeError) as info:
        Vesk()
    assert str(info.value) == "Vesk.__new__() missing 1 required positional argument: 'path'"
    assert not os.path.exists(store_dir)
    assert Vesk.__doc__ == "Unified cognitive memory for AI agents."
    assert Vesk.__text_signature__ == "(path, password=None, security=None)"


def test_security_profile_setter(store_dir):
    v = Vesk(store_dir, security="strict")
    assert v.security_profile == "strict"
    for bad in ["Strict", " strict"]:
        with pytest.raises(ValueError) as info:
            v.set_security_profile(bad)
        assert str(info.value) == PROFILE_ERROR.format(json.dumps(bad))
        assert v.security_profile == "strict"
    assert v.set_security_profile("balanced") is None
    assert v.security_profile == "balanced"
    assert Vesk.set_security_profile.__doc__ == 'Choose the security profile: "balanced" (default) or "strict".'


def test_directory_is_locked_while_open(store_dir):
    v = Vesk(store_dir)
    with pytest.raises(OSError) as info:
        Vesk(store_dir)
    assert "is already open in another process or handle" in str(info.value)
    v.close()
    v.close()  # a second close succeeds too
    Vesk(store_dir).close()


def test_context_manager_closes_and_lets_exceptions_through(store_dir):
    with pytest.raises(ValueError, match="inside"):
        with Vesk(store_dir) as v:
            assert isinstance(v, Vesk)
            raise ValueError("inside")
    with Vesk(store_dir) as v:
        entered = v
    assert entered is v
    assert v.__exit__() is False and v.__exit__(1, 2, 3) is False
    Vesk(store_dir).close()


def test_dropping_an_open_store_releases_the_directory(store_dir):
    v = Vesk(store_dir)
    del v
    Vesk(store_dir).close()


def test_repairs_and_weak_records_at_open(store_dir):
    seed(store_dir,
         record("aaaaaaaaaaa1", source_type="inferred", confidence=0.9),
         record("aaaaaaaaaaa2", confidence=0.9),
         record("aaaaaaaaaaa3", strength=0.04),
         record("aaaaaaaaaaa4", strength=0.04, pinned=True))
    v = Vesk(store_dir)
    assert repr(v).endswith("records=3, encrypted=false)")  # the weak, unpinned one stays out
    events = v.get_startup_validation_report().events
    assert [(e.surface, e.status, e.detail) for e in events[:2]] == [
        ("records", "loaded", "loaded 4 records"),
        ("cold_records", "excluded_from_active_indexes", "kept 1 demoted records in the durable journal"),
    ]
    assert events[1].path == os.path.join(store_dir, "brain.cog")
    v.close()
    appended = frames(store_dir)[4:]
    assert [kind for kind, _ in appended] == [4]
    (repaired,) = json.loads(appended[0][1])
    assert (repaired["id"], repaired["confidence"]) == ("aaaaaaaaaaa1", 0.6)
    Vesk(store_dir).close()
    assert len(frames(store_dir)) == 5  # nothing left to repair


def test_encrypted_store(store_dir):
    v = Vesk(store_dir, password="secret")
    assert v.is_encrypted() and repr(v).endswith("encrypted=true)")
    v.close()
    with pytest.raises(OSError) as info:
        Vesk(store_dir, password="wrong")
    assert str(info.value) == "Unable to unlock memory: invalid password or damaged key file"
    with pytest.raises(OSError) as info:
        Vesk(store_dir)
    assert str(info.value) == "Password required for encrypted memory"
    with Vesk(store_dir, password="secret") as v:
        v.store("the hidden orchard lies past the third bridge", tags=["orchard"])
    for root, _, names in os.walk(store_dir):
        for name in names:
            data = pathlib.Path(root, name).read_bytes()
            assert b"hidden orchard" not in data and b"third bridge" not in data, name
    with Vesk(store_dir, password="secret") as v:
        assert "hidden orchard" in v.recall("orchard bridge")


def test_pending_activations_after_close_fail_the_flush(store_dir):
    v = Vesk(store_dir)
    v.store("the kiln was fired on a cold morning")
    v.close()
    v.flush()  # nothing pending: succeeds on a closed store
    assert v.recall("kiln fired morning")  # recall still answers and marks its records
    with pytest.raises(RuntimeError, match="^failed to persist recall activation state$"):
        v.flush()
    assert v.count() == 1  # the object still answers reads
    v.close()  # closed once, the store stays closed: closing again does nothing


def test_paths_and_key_files_that_cannot_be_a_store(tmp_path):
    with pytest.raises(OSError, match="^store path contains a null byte$"):
        Vesk(str(tmp_path / "a\x00b"))
    assert list(tmp_path.iterdir()) == [], "nothing is created for a refused path"

    store_dir = str(tmp_path / "encrypted")
    with Vesk(store_dir, password="secret") as v:
        v.store("the hidden orchard lies past the third bridge")
    os.remove(os.path.join(store_dir, "memory.key"))
    for password in (None, "secret"):
        with pytest.raises(OSError) as info:
            Vesk(store_dir, password=password)
        assert str(info.value) == (f"The key file memory.key is missing: the store at {store_dir} is encrypted and "
                                   "cannot be opened without it")


def test_list_snapshots_finds_files_beside_the_store(tmp_path):
    store = tmp_path / "mem.db"
    for name in ["mem_snapshot_b.json", "mem_snapshot_a.json", "mem_snapshot_x.txt", "other_snapshot_c.json"]:
        (tmp_path / name).write_text("[]")
    with Vesk(str(store)) as v:
        assert v.list_snapshots() == ["a", "b"]


def test_threads_share_one_store(store_dir):
    v = Vesk(store_dir)
    errors = []

    def work():
        try:
            for _ in range(20):  # each flush forces two files to disk
                v.flush()
                repr(v)
                v.is_background_running()
        except Exception as e:  # pragma: no cover - reported below
            errors.append(e)

    threads = [threading.Thread(target=work) for _ in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    v.close()
    assert errors == []


def test_damaged_layer_file_does_not_prevent_opening(store_dir):
    seed(store_dir, record("aaaaaaaaaaa1"))
    pathlib.Path(store_dir, "beliefs.cog").write_bytes(b"{not json")
    with Vesk(store_dir) as v:
        assert repr(v).endswith("records=1, encrypted=false)")
        report = v.get_startup_validation_report()
        (belief,) = [e for e in report.events if e.surface == "belief"]
        assert belief.status == "load_error_fallback" and belief.recovered
        assert belief.detail.endswith("at line 1 column 2")
        assert report.recovered_fallbacks == 1 and report.has_recovery_warnings


def test_new_store_reports_what_it_loaded(store_dir):
    with Vesk(store_dir) as v:
        report = v.get_startup_validation_report()
        first = report.events[0]
        assert (first.surface, first.path, first.status, first.detail, first.recovered) == (
            "records", store_dir, "loaded", "loaded 0 records", False)
        assert [e.surface for e in report.events[1:]] == [
            "belief", "concept", "causal", "policy", "persistence_manifest", "persistence_manifest",
            "maintenance_trends", "reflection_summaries", "recall_replay"]
        assert (report.loaded_surfaces, report.missing_fallbacks, report.recovered_fallbacks,
                report.derived_skips) == (2, 8, 0, 0)
        manifest = v.get_persistence_manifest()
        assert manifest.schema_version == 1
        assert list(manifest.surfaces) == sorted(manifest.surfaces) and set(manifest.surfaces.values()) == {1}
        assert manifest.surfaces is not v.get_persistence_manifest().surfaces
    assert os.path.getsize(os.path.join(store_dir, "brain.cog")) == 5


def test_new_store_has_no_trends_and_no_reflection(store):
    assert store.get_latest_reflection_digest() is None
    history = store.get_maintenance_trend_history()
    assert history == []
    history.append("x")
    assert store.get_maintenance_trend_history() == [] and store.get_maintenance_trend_history() is not history


def test_a_working_session_prints_nothing_and_leaves_no_log(tmp_path, monkeypatch, capfd):
    # Diagnostics go to a tracing receiver the module never installs: no
    # output, and no file beyond the store's own.
    work = tmp_path / "cwd"
    work.mkdir()
    monkeypatch.chdir(work)
    d = tmp_path / "s"
    with Vesk(str(d)) as v:
        v.store("the harbour crane was repaired", tags=["harbour"])
        v.recall("harbour crane")
        v.recall_structured("harbour", top_k=3)
    assert capfd.readouterr() == ("", "")
    assert list(work.iterdir()) == []
    assert not [p for p in d.rglob("*") if p.suffix in (".log", ".trace")]


def test_a_session_that_changes_nothing_leaves_the_sdr_index_files(store_dir):
    with Vesk(store_dir) as v:
        for i in range(20):
            v.store(f"memory {i} about kilns and glaze")
    index = pathlib.Path(store_dir) / "index"
    before = {name: os.stat(index / name).st_ino for name in ("sdr.idx", "index_manifest.json")}
    with Vesk(store_dir) as v:
        assert v.recall("kilns glaze")
    assert {name: os.stat(index / name).st_ino for name in before} == before
    with Vesk(store_dir) as v:
        v.store("a new memory about glaze")
    assert os.stat(index / "sdr.idx").st_ino != before["sdr.idx"]
