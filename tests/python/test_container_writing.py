"""Capturing an open store into portable containers from Python: export and
append, signed or not, authenticity verification, the tails an append finds,
and the mutation lock beside the container."""

import os
import subprocess
import sys
import time

import pytest

from vesk._core import Vesk

EXPORT_KEYS = ["output_path", "segment_count", "original_size", "container_size", "compressed_segment_count",
               "generation"]
WRITE_KEYS = ["output_path", "generation", "segment_count", "changed_segment_count", "reused_segment_count",
              "removed_segment_count", "appended_bytes", "container_size"]
AUTHENTICITY_KEYS = ["path", "verified", "generation_count", "signed_generation_count", "unsigned_generation_count",
                     "all_generations_signed", "chain_start_generation", "detached_prefix", "public_key",
                     "latest_manifest_sha256"]


def failure(call, *args):
    with pytest.raises(OSError) as e:
        call(*args)
    assert type(e.value) is OSError and e.value.errno is None and len(e.value.args) == 1
    return e.value.args[0]


def segments(path):
    return {s["name"]: s for s in Vesk.inspect_container(path)["segments"]}


def test_export_then_unchanged_appends_write_nothing(store, tmp_path):
    store.store("the first memory")
    out = str(tmp_path / "backup.ctr")
    exported = store.export_container(out)
    assert list(exported) == EXPORT_KEYS
    assert exported["output_path"] == out and exported["generation"] == 1
    assert exported["container_size"] == os.path.getsize(out)
    assert not os.path.exists(tmp_path / "backup.vesk.tmp")
    assert os.path.exists(out + ".lock")

    first = store.append_container(out)
    second = store.append_container(out)
    assert list(second) == WRITE_KEYS
    assert (second["changed_segment_count"], second["removed_segment_count"], second["appended_bytes"]) == (0, 0, 0)
    assert second["generation"] == first["generation"]
    assert second["container_size"] == os.path.getsize(out)

    versions = os.path.join(store_dir(tmp_path), "versions")
    os.makedirs(versions, exist_ok=True)
    with open(os.path.join(versions, "gone.bin"), "wb") as f:
        f.write(b"x")
    added = store.append_container(out)
    assert added["changed_segment_count"] == 1 and added["generation"] == second["generation"] + 1
    os.remove(os.path.join(versions, "gone.bin"))
    removed = store.append_container(out)
    assert removed["removed_segment_count"] == 1 and removed["changed_segment_count"] == 0
    assert "versions/gone.bin" not in segments(out)
    assert Vesk.verify_container(out)["generation"] == removed["generation"]


def store_dir(tmp_path):
    return str(tmp_path / "store")


def test_codecs_and_refused_overwrite(store, tmp_path):
    versions = os.path.join(store_dir(tmp_path), "versions")
    os.makedirs(versions)
    with open(os.path.join(versions, "ten.bin"), "wb") as f:
        f.write(b"0123456789")
    with open(os.path.join(versions, "zeros.bin"), "wb") as f:
        f.write(bytes(4096))
    out = str(tmp_path / "backup.ctr")
    report = store.export_container(out)
    segs = segments(out)
    assert segs["versions/ten.bin"]["codec"] == "raw"
    assert segs["versions/zeros.bin"]["codec"] == "zstd"
    assert report["compressed_segment_count"] == sum(s["codec"] == "zstd" for s in segs.values())

    before = open(out, "rb").read()
    assert failure(store.export_container, out) == f"Refusing to overwrite existing container: {out}"
    assert open(out, "rb").read() == before
    assert os.path.exists(out + ".lock")


def test_signed_chain_and_its_refusals(store, tmp_path):
    pair = Vesk.generate_container_signing_key()
    key, pub = pair["private_key"], pair["public_key"]
    p = str(tmp_path / "signed.ctr")
    store.export_signed_container(p, key)
    store.store("a later memory")
    store.append_signed_container(p, key)
    report = Vesk.verify_container_authenticity(p, pub.upper())
    assert list(report) == AUTHENTICITY_KEYS
    assert report["verified"] is True and report["signed_generation_count"] == 2
    assert report["chain_start_generation"] == 1 and report["detached_prefix"] is False
    assert report["public_key"] == pub

    before = open(p, "rb").read()
    assert failure(store.append_container, p) == "Vesk container generation 2 is signed; use a signed mutation API"
    other = Vesk.generate_container_signing_key()["private_key"]
    assert failure(store.append_signed_container, p, other) == (
        "Vesk container signing key does not match the active signature chain")
    assert open(p, "rb").read() == before

    q = str(tmp_path / "never.ctr")
    assert failure(store.export_signed_container, q, "0g") == (
        "Vesk container signing key must be 64 hexadecimal characters")
    assert not os.path.exists(q) and not os.path.exists(q + ".lock")


def test_verifying_unsigned_generations(store, tmp_path):
    p = str(tmp_path / "plain.ctr")
    store.export_container(p)
    for text in ("two", "three"):
        store.store(text)
        store.append_container(p)
    assert failure(Vesk.verify_container_authenticity, p) == "Vesk container has 3 unsigned retained generation(s)"
    pub = Vesk.generate_container_signing_key()["public_key"]
    assert failure(Vesk.verify_container_authenticity, p, pub, False) == (
        "Vesk container has no signed generations to verify against the trusted key")
    report = Vesk.verify_container_authenticity(p, None, require_all_signed=False)
    assert report["generation_count"] == 3 and report["unsigned_generation_count"] == 3
    assert report["chain_start_generation"] is None and report["public_key"] is None
    with pytest.raises(TypeError):
        Vesk.verify_container_authenticity(p, None, 1)
    with pytest.raises(TypeError):
        Vesk.verify_container_authenticity(p, require_all_signed=None)


def test_tails_after_the_committed_generations(store, tmp_path):
    p = str(tmp_path / "tail.ctr")
    store.export_container(p)
    committed = os.path.getsize(p)
    with open(p, "ab") as f:
        f.write(b"\x5a" * 300)
    assert Vesk.verify_container(p)["generation"] == 1
    store.store("something new")
    report = store.append_container(p)
    assert report["generation"] == 2
    assert os.path.getsize(p) == committed + report["appended_bytes"]

    # Five generations, the third damaged in its TOC: the append refuses to
    # cut the two intact ones after it and leaves the file as it is.
    for text in ("three", "four", "five"):
        store.store(text)
        store.append_container(p)
    manifest = Vesk.inspect_container(p)
    assert manifest["generation"] == 5
    data = bytearray(open(p, "rb").read())
    third = find_generation(bytes(data), 3)
    toc_at = third + int.from_bytes(data[third + 32:third + 40], "little")
    data[toc_at + 2] ^= 1
    open(p, "wb").write(bytes(data))
    assert Vesk.inspect_container(p)["generation"] == 2
    store.store("six")
    message = failure(store.append_container, p)
    assert message.startswith("Vesk container holds a committed generation at offset ")
    assert open(p, "rb").read() == bytes(data)


def find_generation(data, number):
    offset = 64
    while True:
        assert data[offset:offset + 4] == b"VKGN"
        if int.from_bytes(data[offset + 8:offset + 16], "little") == number:
            return offset
        offset += int.from_bytes(data[offset + 24:offset + 32], "little")


def test_a_container_inside_the_index_is_not_captured(store, tmp_path):
    p = os.path.join(store_dir(tmp_path), "index", "self.ctr")
    store.export_container(p)
    store.store("another")
    store.append_container(p)
    names = segments(p)
    assert "index/self.ctr" not in names and "index/self.ctr.lock" not in names
    assert "index/sdr.idx" in names


def embed(text):
    return [1.0, 0.0] if ("orchard" in text or "fruit" in text) else [0.0, 1.0]


def test_embeddings_survive_export_and_import(tmp_path):
    source = Vesk(str(tmp_path / "source"))
    apples = source.store("the orchard apples ripen")
    source.store("automobile needs new tyres")
    source.set_embedding_fn(embed)
    source.store_embedding(apples, embed("the orchard apples ripen"))
    p = str(tmp_path / "e.ctr")
    source.export_container(p)
    source.close()
    assert "embeddings.log" in segments(p) or "embeddings.cog" in segments(p)

    Vesk.import_container(p, str(tmp_path / "copy"))
    copy = Vesk(str(tmp_path / "copy"))
    try:
        assert copy.has_embeddings() is True
        copy.set_embedding_fn(embed)
        assert [r["id"] for r in copy.recall_structured("fruit")][:1] == [apples]
    finally:
        copy.close()


HOLDER = r"""
import fcntl, os, sys, time
fd = os.open(sys.argv[1], os.O_RDWR | os.O_CREAT)
fcntl.flock(fd, fcntl.LOCK_EX)
print("held", flush=True)
while not os.path.exists(sys.argv[2]):
    time.sleep(0.005)
time.sleep(0.3)
released = time.monotonic()
fcntl.flock(fd, fcntl.LOCK_UN)
print(released, flush=True)
"""


def test_a_lock_held_by_another_process_delays_the_append(store, tmp_path):
    real = tmp_path / "real"
    real.mkdir()
    p = str(real / "backup.ctr")
    store.export_container(p)
    alias = str(tmp_path / "alias.ctr")
    os.symlink(p, alias)
    marker = str(tmp_path / "appending")
    holder = subprocess.Popen([sys.executable, "-c", HOLDER, p + ".lock", marker], stdout=subprocess.PIPE, text=True)
    try:
        assert holder.stdout.readline().strip() == "held"
        store.store("while locked")
        open(marker, "w").close()
        store.append_container(alias)  # through the link: the same lock file
        done = time.monotonic()
        released = float(holder.stdout.readline())
        assert done >= released
    finally:
        holder.wait()
    assert not os.path.exists(alias + ".lock")
    assert Vesk.inspect_container(p)["generation"] == 2


def test_a_path_holding_nul_is_refused_before_any_file_call(store, tmp_path):
    p = str(tmp_path / "a\0b.ctr")
    assert failure(store.export_container, p)
    assert failure(store.append_container, p)
    assert os.listdir(tmp_path) == ["store"]
