"""Looking into containers generation by generation from Python: listing,
comparing, inspecting and verifying generations, checking and reading single
segments, restoring chosen segments or one generation, and the authenticated
import; with the argument kinds the container methods share."""

import os

import numpy
import pytest

from container_files import Container, public_key, sha256_hex, v1_container, zstd_frame
from vesk._core import Vesk

KEY = bytes(range(32))
OTHER_KEY = bytes(range(1, 33))
ENTRY_KEYS = ["generation", "created_at", "segment_count", "original_size", "stored_size"]


def failure(call, *args, **kwargs):
    with pytest.raises(OSError) as e:
        call(*args, **kwargs)
    assert type(e.value) is OSError and e.value.errno is None and len(e.value.args) == 1
    return e.value.args[0]


def tree(root):
    """{relative path: bytes} of every file below root."""
    out = {}
    for base, _, names in os.walk(root):
        for name in names:
            path = os.path.join(base, name)
            out[os.path.relpath(path, root)] = open(path, "rb").read()
    return out


def five(tmp_path, key=None):
    """Five generations: "b" from the first, "a" from the third, "c" gone
    after the second, "log" changing every time (its size only once)."""
    c = Container()
    c.add({"b": b"bee", "c": b"sea", "log": b"1"}, key=key)
    c.add({"b": b"bee", "c": b"sea", "log": b"2"}, key=key)
    c.add({"a": b"ay", "b": b"bee", "log": b"33"}, key=key)
    c.add({"a": b"ay", "b": b"bee", "log": b"44"}, key=key)
    c.add({"a": b"ay", "b": b"bee", "log": b"5"}, key=key)
    return c, c.write(tmp_path / "c.vesk")


# ---- Listing -----------------------------------------------------------------


def test_listing_on_the_class(tmp_path):
    c, path = five(tmp_path)
    listed = Vesk.list_container_generations(path)
    assert [list(e) for e in listed] == [ENTRY_KEYS] * 5
    assert listed == [{"generation": t["generation"], "created_at": t["created_at"],
                       "segment_count": len(t["segments"]), "original_size": t["original_size"],
                       "stored_size": t["stored_size"]} for t in c.tocs]

    # A torn append is not listed; a layout-1 container lists generation 0.
    (tmp_path / "torn.vesk").write_bytes(c.bytes()[:-1])
    assert [e["generation"] for e in Vesk.list_container_generations(str(tmp_path / "torn.vesk"))] == [1, 2, 3, 4]
    (tmp_path / "v1.vesk").write_bytes(v1_container([("x", b"xx")]))
    assert Vesk.list_container_generations(str(tmp_path / "v1.vesk")) == [
        {"generation": 0, "created_at": 1_600_000_000, "segment_count": 1, "original_size": 2, "stored_size": 2}]

    missing = str(tmp_path / "missing.vesk")
    for call, args in [(Vesk.list_container_generations, [missing]),
                       (Vesk.inspect_container_generation, [missing, 1]),
                       (Vesk.verify_container_generation, [missing, 1]),
                       (Vesk.diff_container_generations, [missing, 1, 1]),
                       (Vesk.verify_container_segments, [missing, ["a"]]),
                       (Vesk.read_container_segment, [missing, "a"])]:
        assert failure(call, *args) == "No such file or directory (os error 2)"


def test_a_signed_chain_lists_and_a_forged_signature_fails(tmp_path):
    c, path = five(tmp_path, key=KEY)
    assert len(Vesk.list_container_generations(path)) == 5
    # The same container with one digit of generation 3's signature changed.
    authenticity = c.tocs[2]["authenticity"]
    sig = authenticity["signature"]
    forged = {**authenticity, "signature": ("1" if sig[0] == "0" else "0") + sig[1:]}
    f = Container()
    for i, files in enumerate(c.files):
        if i == 2:
            f.add(files, edit=lambda toc: toc.update(authenticity=forged))
        else:
            f.add(files, key=KEY)
    assert f.tocs[3]["authenticity"]["previous_manifest_sha256"] == authenticity["manifest_sha256"]
    assert failure(Vesk.list_container_generations, f.write(tmp_path / "f.vesk")) == \
        "Vesk generation 3 signature verification failed"


# ---- Generations by number ---------------------------------------------------


def test_inspecting_and_verifying_one_generation(tmp_path):
    c, path = five(tmp_path)
    for n in (1, 3, 5):
        assert Vesk.inspect_container_generation(path, n)["segments"] == c.tocs[n - 1]["segments"]
        assert Vesk.verify_container_generation(path, n) == Vesk.inspect_container_generation(path, n)
    assert failure(Vesk.inspect_container_generation, path, 6) == "Vesk container generation not found: 6"
    assert failure(Vesk.verify_container_generation, path, 0) == "Vesk container generation not found: 0"

    # A flipped byte of generation 1's own "log" fails generation 1 only.
    data = bytearray(c.bytes())
    data[c.tocs[0]["segments"][2]["offset"]] ^= 1
    (tmp_path / "bad.vesk").write_bytes(data)
    bad = str(tmp_path / "bad.vesk")
    assert failure(Vesk.verify_container_generation, bad, 1) == "Checksum mismatch for segment log"
    assert Vesk.verify_container_generation(bad, 2)["generation"] == 2

    (tmp_path / "v1.vesk").write_bytes(v1_container([("x", b"xx")]))
    v1 = str(tmp_path / "v1.vesk")
    assert Vesk.verify_container_generation(v1, 0)["version"] == 1
    assert failure(Vesk.inspect_container_generation, v1, 1) == "Legacy Vesk containers expose generation 0 only"


def test_diff(tmp_path):
    c, path = five(tmp_path)
    same = Vesk.diff_container_generations(path, 3, 3)
    assert list(same) == ["from_generation", "to_generation", "added", "removed", "unchanged",
                          "original_size_delta", "changed"]
    assert same == {"from_generation": 3, "to_generation": 3, "added": [], "removed": [],
                    "unchanged": ["a", "b", "log"], "original_size_delta": 0, "changed": []}

    forward = Vesk.diff_container_generations(path, 3, 5)
    backward = Vesk.diff_container_generations(path, 5, 3)
    assert (forward["added"], forward["removed"]) == (backward["removed"], backward["added"]) == ([], [])
    old_to_new = Vesk.diff_container_generations(path, 2, 5)
    new_to_old = Vesk.diff_container_generations(path, 5, 2)
    assert (old_to_new["added"], old_to_new["removed"]) == (["a"], ["c"])
    assert (new_to_old["added"], new_to_old["removed"]) == (["c"], ["a"])
    assert new_to_old["original_size_delta"] == -old_to_new["original_size_delta"] == 2 - 1
    assert old_to_new["changed"] == [{"name": "log", "previous_sha256": sha256_hex(b"2"),
                                      "current_sha256": sha256_hex(b"5"), "previous_size": 1, "current_size": 1}]
    # Same size, other content: changed; the store shrank: a negative delta.
    shrank = Vesk.diff_container_generations(path, 4, 5)
    assert shrank["original_size_delta"] == -1 and shrank["changed"][0]["previous_size"] == 2
    assert list(shrank["changed"][0]) == ["name", "previous_sha256", "current_sha256", "previous_size",
                                          "current_size"]

    # Names in byte order of their UTF-8 text, a prefix first.
    names = Container()
    names.add({"\u00e9": b"1", "b": b"2", "ab": b"3", "a": b"4", "Z": b"5"})
    named = names.write(tmp_path / "names.vesk")
    assert Vesk.diff_container_generations(named, 1, 1)["unchanged"] == ["Z", "a", "ab", "b", "\u00e9"]

    assert failure(Vesk.diff_container_generations, path, 9, 1) == "Vesk container generation not found: 9"
    assert failure(Vesk.diff_container_generations, path, 1, 9) == "Vesk container generation not found: 9"
    (tmp_path / "v1.vesk").write_bytes(v1_container([("x", b"xx")]))
    v1 = str(tmp_path / "v1.vesk")
    assert Vesk.diff_container_generations(v1, 0, 0)["unchanged"] == ["x"]
    assert failure(Vesk.diff_container_generations, v1, 0, 1) == "Legacy Vesk containers expose generation 0 only"


def test_diff_ignores_how_a_segment_is_stored_but_not_the_digest_text(tmp_path):
    c = Container()
    body = b"the same words " * 20
    c.add({"s": body, "z": b"x"})
    c.add({"s": b"other"}, codec="zstd")
    c.add({"s": body}, codec="zstd")  # stored again, compressed this time
    c.add({"s": body, "z": b"x"}, edit=lambda toc: toc["segments"][0].update(
        sha256=toc["segments"][0]["sha256"].upper()))
    path = c.write(tmp_path / "c.vesk")
    assert c.tocs[0]["segments"][0]["codec"] == "raw" and c.tocs[2]["segments"][0]["codec"] == "zstd"
    assert Vesk.diff_container_generations(path, 1, 3)["unchanged"] == ["s"]
    # An upper-case digest reads, but is another text, and fails every check.
    upper = Vesk.diff_container_generations(path, 3, 4)
    assert upper["changed"][0]["current_sha256"] == sha256_hex(body).upper() and upper["added"] == ["z"]
    assert failure(Vesk.verify_container_segments, path, ["s"]) == "Checksum mismatch for segment s"
    assert failure(Vesk.read_container_segment, path, "s") == "Checksum mismatch for segment s"
    assert Vesk.read_container_segment_at_generation(path, 3, "s") == body


# ---- Single segments ---------------------------------------------------------


def test_verifying_and_reading_named_segments(tmp_path):
    c = Container()
    c.add({"a": b"one", "b": b"second", "dir/x": b""})
    c.add({"a": b"one", "b": b"second", "dir/x": b"", "new": b"4444"}, codec="zstd")
    path = c.write(tmp_path / "c.vesk")

    checked = Vesk.verify_container_segments(path, ["b", "a", "b"])
    assert list(checked) == ["segment_count", "total_size", "segments"]
    assert checked == {"segment_count": 2, "total_size": 9, "segments": ["a", "b"]}
    assert Vesk.verify_container_segments(path, ("new",))["total_size"] == 4

    assert Vesk.read_container_segment(path, "new") == b"4444"
    assert Vesk.read_container_segment(path, "dir/x") == b""
    assert Vesk.read_container_segment_at_generation(path, 1, "b") == b"second"

    missing = str(tmp_path / "missing.vesk")
    for call, args, message in [
        (Vesk.verify_container_segments, [path, []], "At least one Vesk container segment must be selected"),
        (Vesk.verify_container_segments, [path, ["a", "zz"]], "Vesk container segment not found: zz"),
        (Vesk.verify_container_segments, [path, ["a", "../x"]], "Unsafe Vesk container segment path: ../x"),
        (Vesk.read_container_segment, [path, "dir//x"], "Vesk container segment not found: dir//x"),
        (Vesk.read_container_segment_at_generation, [path, 1, "new"],
         "Vesk container segment not found in generation 1: new"),
        (Vesk.read_container_segment_at_generation, [path, 4, "a"], "Vesk container generation not found: 4"),
        # The name is checked before the file is opened.
        (Vesk.read_container_segment, [missing, "../x"], "Unsafe Vesk container segment path: ../x"),
        (Vesk.read_container_segment_at_generation, [missing, 4, "a\\b"], "Unsafe Vesk container segment name"),
    ]:
        assert failure(call, *args) == message

    # A damaged stored byte of "new" fails it, and only it.
    data = bytearray(c.bytes())
    data[c.tocs[1]["segments"][3]["offset"] + 10] ^= 0x55  # a content byte of the frame
    (tmp_path / "bad.vesk").write_bytes(data)
    bad = str(tmp_path / "bad.vesk")
    assert Vesk.verify_container_segments(bad, ["a", "b"])["segment_count"] == 2
    assert failure(Vesk.verify_container_segments, bad, ["a", "new"]) == "Checksum mismatch for segment new"
    assert failure(Vesk.read_container_segment, bad, "new") == "Checksum mismatch for segment new"


# ---- Restoring ---------------------------------------------------------------


def test_extracting_and_importing_generations_of_a_store(tmp_path):
    store = Vesk(str(tmp_path / "store"))
    store.store("the first memory")
    path = str(tmp_path / "c.vesk")
    store.export_container(path)
    first = {s["name"]: s for s in Vesk.inspect_container(path)["segments"]}
    store.store("a second memory")
    store.append_container(path)
    store.close()
    assert "brain.cog" in first

    latest = {s["name"]: s for s in Vesk.inspect_container(path)["segments"]}
    report = Vesk.extract_container_segments(path, str(tmp_path / "one"), ["brain.cog"])
    assert report == {"target_path": str(tmp_path / "one"), "segment_count": 1,
                      "restored_size": latest["brain.cog"]["original_size"]}
    assert list(tree(tmp_path / "one")) == ["brain.cog"]

    Vesk.import_container_generation(path, str(tmp_path / "g1"), 1)
    restored = tree(tmp_path / "g1")
    assert sorted(restored) == sorted(first)
    assert all(sha256_hex(restored[name]) == s["sha256"] for name, s in first.items())
    reopened = Vesk(str(tmp_path / "g1"))
    assert reopened.count() == 1
    reopened.close()

    # A hold writes a control generation: it restores the files of the one before it.
    Vesk.hold_container_generation(path, 1, "keep")
    Vesk.import_container_generation(path, str(tmp_path / "g3"), 3)
    Vesk.import_container_generation(path, str(tmp_path / "g2"), 2)
    assert tree(tmp_path / "g3") == tree(tmp_path / "g2")

    for call, args, message in [
        (Vesk.import_container_generation, [path, str(tmp_path / "g1"), 1],
         f"Import target must not exist; refusing to overwrite {tmp_path / 'g1'}"),
        (Vesk.import_container_generation, [path, str(tmp_path / "g9"), 9], "Vesk container generation not found: 9"),
        (Vesk.extract_container_segments, [path, str(tmp_path / "t"), ["nope"]],
         "Vesk container segment not found: nope"),
        (Vesk.extract_container_segments, [path, str(tmp_path / "t"), []],
         "At least one Vesk container segment must be selected"),
    ]:
        assert failure(call, *args) == message
    assert not os.path.exists(tmp_path / "g9") and not os.path.exists(tmp_path / "t")


def test_a_damaged_generation_imports_nothing(tmp_path):
    c, path = five(tmp_path)
    data = bytearray(c.bytes())
    data[c.tocs[0]["segments"][2]["offset"]] ^= 1
    (tmp_path / "bad.vesk").write_bytes(data)
    bad = str(tmp_path / "bad.vesk")
    assert failure(Vesk.import_container_generation, bad, str(tmp_path / "t"), 1) == \
        "Checksum mismatch for segment log"
    assert sorted(os.listdir(tmp_path)) == ["bad.vesk", "c.vesk"]
    Vesk.import_container_generation(bad, str(tmp_path / "t"), 2)
    assert tree(tmp_path / "t") == c.files[1]


def test_authenticated_import(tmp_path):
    c, path = five(tmp_path, key=KEY)
    trusted = public_key(KEY).hex()
    report = Vesk.import_authenticated_container(path, str(tmp_path / "t"), trusted)
    assert report == {"target_path": str(tmp_path / "t"), "segment_count": 3, "restored_size": 6}
    assert tree(tmp_path / "t") == c.files[4]

    unsigned_first = Container()
    unsigned_first.add({"a": b"1"})
    unsigned_first.add({"a": b"2"}, key=KEY)
    mixed = unsigned_first.write(tmp_path / "mixed.vesk")
    (tmp_path / "v1.vesk").write_bytes(v1_container([("x", b"xx")]))
    for args, message in [
        ([path, str(tmp_path / "x"), public_key(OTHER_KEY).hex()],
         "Vesk container signing identity does not match the trusted public key"),
        ([mixed, str(tmp_path / "x"), trusted], "Vesk container has 1 unsigned retained generation(s)"),
        ([str(tmp_path / "v1.vesk"), str(tmp_path / "x"), trusted],
         "Authenticity verification requires an Vesk v2 container"),
        ([path, str(tmp_path / "t"), trusted], f"Import target must not exist; refusing to overwrite {tmp_path / 't'}"),
    ]:
        assert failure(Vesk.import_authenticated_container, *args) == message
    assert not os.path.exists(tmp_path / "x")
    Vesk.import_authenticated_container(mixed, str(tmp_path / "x"), trusted, require_all_signed=False)
    assert tree(tmp_path / "x") == {"a": b"2"}


# ---- Argument kinds ----------------------------------------------------------


@pytest.mark.parametrize("call, error", [
    (lambda p: Vesk.verify_container_authenticity(p, None, 1), TypeError),
    (lambda p: Vesk.verify_container_authenticity(p, None, None), TypeError),
    (lambda p: Vesk.verify_container_authenticity(p, require_all_signed=numpy.bool_(True)), None),
    (lambda p: Vesk.verify_container_authenticity(p, require_all_signed=False), None),
    (lambda p: Vesk.inspect_container_generation(p, -1), OverflowError),
    (lambda p: Vesk.inspect_container_generation(p, 2**64), OverflowError),
    (lambda p: Vesk.inspect_container_generation(p, 1.0), TypeError),
    (lambda p: Vesk.inspect_container_generation(p, "1"), TypeError),
    (lambda p: Vesk.inspect_container_generation(p, True), None),
    (lambda p: Vesk.inspect_container_generation(p, numpy.uint8(1)), None),
    (lambda p: Vesk.inspect_container_generation(container_path=p, generation=1), None),
    (lambda p: Vesk.verify_container_segments(p, "a"), TypeError),
    (lambda p: Vesk.verify_container_segments(p, {"a"}), TypeError),
    (lambda p: Vesk.verify_container_segments(p, ["a", b"b"]), TypeError),
    (lambda p: Vesk.verify_container_segments(p, ("a",)), None),
    (lambda p: Vesk.read_container_segment(p.encode(), "a"), TypeError),
    (lambda p: Vesk.read_container_segment(p, "\ud800"), UnicodeEncodeError),
    (lambda p: Vesk.import_authenticated_container(p, p + ".t", None), TypeError),
    (lambda p: Vesk.plan_container_retention(p, None), TypeError),
    (lambda p: Vesk.plan_container_retention(p, min_generations=None), TypeError),
    (lambda p: Vesk.plan_container_retention(p, max_generations=None, max_age_seconds=None,
                                             max_size_bytes=None), None),
])
def test_argument_kinds(tmp_path, call, error):
    c = Container()
    c.add({"a": b"1"})
    p = c.write(tmp_path / "c.vesk")
    if error is None:  # the arguments convert; the operation may still refuse
        try:
            call(p)
        except OSError:
            pass
    else:
        with pytest.raises(error) as e:
            call(p)
        if error is TypeError:
            assert str(e.value).startswith("argument '")
    assert sorted(os.listdir(tmp_path)) == ["c.vesk"]
