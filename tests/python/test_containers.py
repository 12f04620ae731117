"""Portable containers from Python: making signing keys, and inspecting,
verifying and importing container files (static methods of Vesk that need no
store). Containers are built with the standard library (container_files.py).
"""

import os
import struct

import pytest

from container_files import FRAME, Container, manifest_dict, public_key, v1_container, zstd_rle_frame
from vesk._core import Vesk

FILES_1 = {"brain.vesk": b"records, first", "index/sdr.idx": b"\x00\x01index", "temporal.bin": b""}
FILES_2 = {"brain.vesk": b"records, second", "index/sdr.idx": b"\x00\x01index", "temporal.bin": b"",
           "persistence_manifest.json": b"{}"}
KEY = bytes(range(32))
OTHER_KEY = bytes(range(1, 33))


def two_generations():
    c = Container()
    c.add(FILES_1)
    c.add(FILES_2)
    return c


def tree(root):
    """{relative path: bytes} of every file below root."""
    out = {}
    for base, _, names in os.walk(root):
        for name in names:
            path = os.path.join(base, name)
            out[os.path.relpath(path, root)] = open(path, "rb").read()
    return out


def failure(call, *args):
    with pytest.raises(OSError) as e:
        call(*args)
    assert type(e.value) is OSError and e.value.errno is None and len(e.value.args) == 1
    return e.value.args[0]


def test_a_two_generation_container_inspects_verifies_and_imports(tmp_path):
    c = two_generations()
    path = c.write(tmp_path / "c.vesk")
    manifest = Vesk.inspect_container(path)
    assert list(manifest) == ["format", "version", "generation", "created_at", "original_size", "stored_size",
                              "holds", "authenticity", "segments"]
    assert manifest == manifest_dict(c.tocs[1])
    assert manifest["generation"] == 2 and manifest["authenticity"] is None
    assert list(manifest["segments"][0]) == ["name", "offset", "stored_size", "original_size", "codec", "sha256"]
    # The unchanged file points at the first generation's bytes.
    assert manifest["segments"][1]["offset"] == c.tocs[0]["segments"][1]["offset"]
    assert Vesk.verify_container(path) == manifest

    target = str(tmp_path / "restored")
    report = Vesk.import_container(path, target)
    assert list(report) == ["target_path", "segment_count", "restored_size"]
    assert report == {"target_path": target, "segment_count": 4, "restored_size": sum(map(len, FILES_2.values()))}
    assert tree(target) == FILES_2
    assert sorted(os.listdir(tmp_path)) == ["c.vesk", "restored"]


def test_the_methods_are_static_and_take_str_paths(tmp_path):
    store = Vesk(str(tmp_path / "store"))
    path = two_generations().write(tmp_path / "c.vesk")
    assert store.inspect_container(path) == Vesk.inspect_container(path)
    store.close()

    missing = str(tmp_path / "missing.vesk")
    for call, args in [(Vesk.inspect_container, [missing]), (Vesk.verify_container, [missing]),
                       (Vesk.import_container, [missing, str(tmp_path / "t")])]:
        assert failure(call, *args) == "No such file or directory (os error 2)"
    assert not os.path.exists(tmp_path / "t")

    for call, args, name in [(Vesk.inspect_container, [b"c"], "container_path"),
                             (Vesk.verify_container, [tmp_path / "c.vesk"], "container_path"),
                             (Vesk.import_container, [path, b"t"], "target_path")]:
        with pytest.raises(TypeError) as e:
            call(*args)
        assert str(e.value).startswith(f"argument '{name}': ")

    # A NUL stops no path short: the call fails before any file is touched.
    assert failure(Vesk.inspect_container, path + "\0x") == "Path contains a NUL byte"
    assert failure(Vesk.import_container, path, str(tmp_path / "t\0/x")) == "Path contains a NUL byte"
    assert failure(Vesk.import_container, path + "\0", str(tmp_path / "t")) == "Path contains a NUL byte"
    assert sorted(os.listdir(tmp_path)) == ["c.vesk", "store"]


def five_generations():
    c = Container()
    for i in range(5):
        c.add({"brain.vesk": b"generation %d" % i, "index/sdr.idx": b"shared"})
    return c


def flip(data, offset, mask=1):
    out = bytearray(data)
    out[offset] ^= mask
    return bytes(out)


@pytest.mark.parametrize("bend, expected", [
    (lambda c, b: b[:63], "Vesk container is shorter than its header"),
    (lambda c, b: b"XXXX" + b[4:], "Invalid Vesk container magic"),
    (lambda c, b: b[:4] + struct.pack("<H", 3) + b[6:], "Unsupported Vesk container version: 3"),
    (lambda c, b: b[:6] + struct.pack("<H", 1) + b[8:], "Unsupported Vesk container flags: 1"),
    (lambda c, b: b[:144], "Vesk v2 container has no committed generation"),
    (lambda c, b: b[:64] + bytes(200), "Vesk v2 container has no committed generation"),
    (lambda c, b: b + b"\xff" * 79, 5),
    (lambda c, b: b + FRAME.pack(b"VKGN", 1, 0, 6, 0, 80, 80, 0, bytes(32)), 5),
    (lambda c, b: b[:-1], 4),
    # A damaged TOC digest in generation 3 hides it and everything after it.
    (lambda c, b: flip(b, c.starts[2] + 48), 2),
    # Bytes of the TOC itself, likewise.
    (lambda c, b: flip(b, c.starts[3] - 2), 2),
])
def test_the_header_and_the_walk(tmp_path, bend, expected):
    c = five_generations()
    path = tmp_path / "c.vesk"
    path.write_bytes(bend(c, c.bytes()))
    if isinstance(expected, str):
        assert failure(Vesk.inspect_container, str(path)) == expected
    else:
        assert Vesk.inspect_container(str(path)) == manifest_dict(c.tocs[expected - 1])
        assert Vesk.verify_container(str(path))["generation"] == expected


@pytest.mark.parametrize("names, expected", [
    (["../x"], "Unsafe Vesk container segment path: ../x"),
    (["a\\b"], "Unsafe Vesk container segment name"),
    (["..\0x"], "Unsafe Vesk container segment name"),
    (["./a"], "Unsafe Vesk container segment path: ./a"),
    (["a", "a"], "Duplicate Vesk container segment: a"),
    (["index/sdr.idx"], None),
    (["a//b", "a/./c", "d/"], None),
])
def test_segment_names_through_a_layout_one_table(tmp_path, names, expected):
    path = tmp_path / "v1.vesk"
    path.write_bytes(v1_container([(n, b"x%d" % i) for i, n in enumerate(names)]))
    if expected:
        assert failure(Vesk.inspect_container, str(path)) == expected
    else:
        manifest = Vesk.inspect_container(str(path))
        assert (manifest["version"], manifest["generation"]) == (1, 0)
        assert [s["name"] for s in manifest["segments"]] == names
        report = Vesk.import_container(str(path), str(tmp_path / "t"))
        assert report["segment_count"] == len(names)


def test_a_flipped_stored_byte_fails_verification_and_import(tmp_path):
    c = two_generations()
    segment = c.tocs[1]["segments"][1]
    path = tmp_path / "c.vesk"
    path.write_bytes(flip(c.bytes(), segment["offset"] + 3))
    expected = "Checksum mismatch for segment index/sdr.idx"
    assert Vesk.inspect_container(str(path))["generation"] == 2  # inspection reads no segment
    assert failure(Vesk.verify_container, str(path)) == expected
    assert failure(Vesk.import_container, str(path), str(tmp_path / "t")) == expected
    assert sorted(os.listdir(tmp_path)) == ["c.vesk"]

    good = two_generations().write(tmp_path / "good.vesk")
    os.mkdir(tmp_path / "taken")
    target = str(tmp_path / "taken")
    assert failure(Vesk.import_container, good, target) == \
        f"Import target must not exist; refusing to overwrite {target}"
    assert os.listdir(target) == []


def test_signing_keys_are_new_lower_case_pairs():
    pairs = [Vesk.generate_container_signing_key() for _ in range(3)]
    for pair in pairs:
        assert list(pair) == ["private_key", "public_key"]
        for text in pair.values():
            assert len(text) == 64 and text == text.lower() and bytes.fromhex(text)
        assert public_key(bytes.fromhex(pair["private_key"])).hex() == pair["public_key"]
    assert len({p["private_key"] for p in pairs}) == 3


def test_a_signed_chain_reads_and_each_generation_is_checked(tmp_path):
    c = Container()
    c.add(FILES_1)
    c.add(FILES_2, key=KEY)
    c.add({**FILES_2, "brain.vesk": b"third"}, key=KEY)
    path = c.write(tmp_path / "c.vesk")
    manifest = Vesk.verify_container(path)
    assert manifest == manifest_dict(c.tocs[2])
    auth = manifest["authenticity"]
    assert list(auth) == ["algorithm", "public_key", "manifest_sha256", "previous_manifest_sha256", "signature"]
    assert auth["public_key"] == public_key(KEY).hex()
    assert auth["previous_manifest_sha256"] == c.tocs[1]["authenticity"]["manifest_sha256"]
    assert c.tocs[1]["authenticity"]["previous_manifest_sha256"] is None

    # An unknown algorithm fails every read, whatever it touches.
    bad = Container()
    bad.add(FILES_1, key=KEY)
    bad.add(FILES_2, edit=lambda toc: toc.update(authenticity={**bad.tocs[0]["authenticity"], "algorithm": "x"}))
    bad_path = bad.write(tmp_path / "x.vesk")
    for call, args in [(Vesk.inspect_container, [bad_path]), (Vesk.verify_container, [bad_path]),
                       (Vesk.import_container, [bad_path, str(tmp_path / "t")])]:
        assert failure(call, *args) == "Unsupported Vesk generation signature algorithm: x"
    assert not os.path.exists(tmp_path / "t")


def test_zstd_segments_decode_to_their_recorded_size(tmp_path):
    c = Container()
    c.add({"big": b"z" * 300_000, "small": b"", "text": b"plain words"}, codec="zstd",
          stored={"big": zstd_rle_frame(ord("z"), 300_000)})
    path = c.write(tmp_path / "c.vesk")
    assert Vesk.verify_container(path)["stored_size"] < 100
    Vesk.import_container(path, str(tmp_path / "t"))
    assert tree(tmp_path / "t") == c.files[0]

    # A frame that inflates past the recorded size stops one byte beyond it.
    bomb = Container()
    bomb.add({"x": b"z" * 1000}, codec="zstd", stored={"x": zstd_rle_frame(ord("z"), 64 << 20)})
    bomb_path = bomb.write(tmp_path / "bomb.vesk")
    assert failure(Vesk.verify_container, bomb_path) == "Decoded size mismatch for segment x"
    assert failure(Vesk.import_container, bomb_path, str(tmp_path / "u")) == "Decoded size mismatch for segment x"
    assert not os.path.exists(tmp_path / "u")


# ---- A small fuzz: one valid container, bent in many ways -----------------------

U64_MAX = 2**64 - 1


def fuzz_container(**bends):
    """Three generations: raw and unsigned; zstd and signed (the chain starts);
    signed again, with a hold, reusing two segments. `bends` name the builder
    edits of one generation: g2_stored, g3_edit, g3_key."""
    c = Container()
    c.add({"brain.vesk": b"first records", "index/sdr.idx": b"\x01" * 40, "temporal.bin": b""})
    c.add({"brain.vesk": b"second records " * 20, "index/sdr.idx": b"\x01" * 40, "temporal.bin": b"t"},
          codec="zstd", key=KEY, stored=bends.get("g2_stored"))
    c.add({"brain.vesk": b"third", "index/sdr.idx": b"\x01" * 40, "temporal.bin": b"t"},
          key=bends.get("g3_key", KEY),
          edit=bends.get("g3_edit", lambda toc: toc["holds"].append({"generation": 1, "label": "keep",
                                                                       "created_at": 7})))
    return c


def set_u64(data, offset, value):
    return data[:offset] + struct.pack("<Q", value) + data[offset + 8:]


def byte_mutations(c):
    data = c.bytes()
    yield from ((f"cut at {n}", data[:n]) for n in range(0, len(data), max(1, len(data) // 60)))
    yield from ((f"header byte {i}", flip(data, i)) for i in (0, 3, 4, 5, 6, 7, 8, 16, 40, 63))
    yield "header says layout 1", data[:4] + b"\x01\x00" + data[6:]
    for g, start in enumerate(c.starts):
        yield from ((f"frame {g} byte {i}", flip(data, start + i)) for i in (0, 4, 6, 8, 16, 24, 32, 40, 48, 79))
        for field, offset in (("generation", 8), ("length", 24), ("toc offset", 32), ("toc length", 40)):
            for value in (0, len(data) + 1, U64_MAX):
                yield f"frame {g} {field} = {value}", set_u64(data, start + offset, value)
        end = c.starts[g + 1] if g + 1 < len(c.starts) else len(data)
        toc_length = struct.unpack_from("<Q", data, start + 40)[0]
        for i in (0, toc_length // 2, toc_length - 1):
            yield f"toc {g} byte {i}", flip(data, end - toc_length + i)
        for s in c.tocs[g]["segments"]:
            for i in sorted({s["stored_size"] // 2, s["stored_size"] - 1} - {-1}):
                yield f"segment {g} {s['name']} byte {i}", flip(data, s["offset"] + i)


def segment_edit(field, value):
    return lambda toc: toc["segments"][0].update({field: value})


def built_mutations():
    for field in ("offset", "stored_size", "original_size"):
        for value in (0, 1 << 40, U64_MAX, U64_MAX + 1):
            yield f"g3 segment {field} = {value}", fuzz_container(g3_edit=segment_edit(field, value))
    for key, value in (("version", 65536), ("generation", 2**64), ("created_at", -1), ("original_size", 0.5),
                       ("segments", []), ("holds", [{"generation": 9, "label": "x", "created_at": 0}]),
                       ("format", "other")):
        yield f"g3 toc {key} = {value!r}", fuzz_container(g3_edit=lambda toc, k=key, v=value: toc.update({k: v}))
    # temporal.bin of generation 2 is reused by generation 3.
    yield "g2 inflates past its size", fuzz_container(g2_stored={"temporal.bin": zstd_rle_frame(0x74, 1 << 20)})
    yield "g2 frame cut short", fuzz_container(g2_stored={"temporal.bin": zstd_rle_frame(0x74, 1)[:-1]})
    yield "g3 signed with another key", fuzz_container(g3_key=OTHER_KEY)
    forged = fuzz_container()
    toc = forged.tocs[2]
    sig = toc["authenticity"]["signature"]
    toc["authenticity"]["signature"] = ("1" if sig[0] == "0" else "0") + sig[1:]
    rebuilt = Container()
    rebuilt.data = bytearray(forged.data[:forged.starts[2]])
    rebuilt.tocs, rebuilt.files, rebuilt.starts = forged.tocs[:2], forged.files[:2], forged.starts[:2]
    rebuilt.next = 3
    rebuilt.add(forged.files[2], edit=lambda t: t.update(authenticity=toc["authenticity"], holds=toc["holds"]))
    yield "g3 signature forged", rebuilt


def test_bent_containers_read_their_committed_generations_or_fail_cleanly(tmp_path):
    base = fuzz_container()
    assert Vesk.verify_container(base.write(tmp_path / "base.vesk"))["generation"] == 3
    os.remove(tmp_path / "base.vesk")

    cases = [(name, data, base) for name, data in byte_mutations(base)]
    cases += [(name, c.bytes(), c) for name, c in built_mutations()]
    outcomes = set()
    path, target = tmp_path / "c.vesk", tmp_path / "target"
    for name, data, built in cases:
        path.write_bytes(data)
        committed = [manifest_dict(t) for t in built.tocs]
        for call in (Vesk.inspect_container, Vesk.verify_container):
            try:
                manifest = call(str(path))
            except OSError as e:
                assert type(e) is OSError and e.errno is None and e.args[0], name
                outcomes.add(e.args[0])
            else:
                assert manifest in committed, name
        try:
            report = Vesk.import_container(str(path), str(target))
        except OSError as e:
            assert type(e) is OSError and e.args[0], name
            assert sorted(os.listdir(tmp_path)) == ["c.vesk"], name
        else:
            assert tree(target) in built.files, name
            assert report["segment_count"] == len(tree(target)), name
            assert sorted(os.listdir(tmp_path)) == ["c.vesk", "target"], name
            for f in tree(target):
                os.remove(target / f)
            for base_dir, dirs, _ in os.walk(target, topdown=False):
                for d in dirs:
                    os.rmdir(os.path.join(base_dir, d))
            os.rmdir(target)
    # The bends reached the checks they aim at.
    for expected in ("Vesk container is shorter than its header", "Invalid Vesk container magic",
                     "Vesk v2 container has no committed generation", "Decoded size mismatch for segment temporal.bin",
                     "Checksum mismatch for segment brain.vesk", "Checksum mismatch for segment temporal.bin",
                     "Vesk generation 3 signature verification failed", "Invalid Vesk container TOC bounds",
                     "Vesk generation 3 changes signing identity inside one chain", "Incomplete Zstandard frame"):
        assert expected in outcomes, sorted(outcomes)
