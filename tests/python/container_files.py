"""Portable container files built with the standard library alone, for tests.

A container is a 64-byte header ("VKPC", u16 layout version, u16 flags, u64
created_at, then in layout 1 the u64 TOC offset, u64 TOC length and the TOC's
SHA-256; zeros in layout 2), then in layout 2 generations back to back, each an
80-byte frame ("VKGN", u16 frame version 1, u16 flags, u64 generation, u64
created_at, u64 generation length, u64 TOC offset relative to the frame, u64
TOC length, the TOC's SHA-256), the stored segment bytes and the TOC, a compact
JSON object. All integers are little-endian.

Zstandard segments are made by hand: a frame of raw blocks (what the bytes
are) or of RLE blocks (one byte repeated), both valid frames for any decoder.
Signatures use a plain Ed25519 (RFC 8032) over the generation manifest.
"""

import hashlib
import json
import struct

FORMAT = "vesk-portable-container"
ALGORITHM = "ed25519-vesk-manifest-v1"
HEADER = struct.Struct("<4sHHQQQ32s")
FRAME = struct.Struct("<4sHHQQQQQ32s")


def compact(value):
    return json.dumps(value, separators=(",", ":"), ensure_ascii=False).encode()


def sha256_hex(data):
    return hashlib.sha256(data).hexdigest()


# ---- Zstandard frames --------------------------------------------------------

_ZSTD_MAGIC = b"\x28\xb5\x2f\xfd"
_FRAME_HEADER = b"\x00\x38"  # no content size, no checksum; a 128 KiB window
_BLOCK = 128 * 1024


def _block_header(last, kind, size):
    return (int(last) | kind << 1 | size << 3).to_bytes(3, "little")


def zstd_frame(content):
    """One frame holding `content` in raw blocks."""
    out = bytearray(_ZSTD_MAGIC + _FRAME_HEADER)
    pieces = [content[i:i + _BLOCK] for i in range(0, len(content), _BLOCK)] or [b""]
    for i, piece in enumerate(pieces):
        out += _block_header(i == len(pieces) - 1, 0, len(piece)) + piece
    return bytes(out)


def zstd_rle_frame(byte, count):
    """One frame that decodes to `count` copies of `byte` from a few bytes."""
    out = bytearray(_ZSTD_MAGIC + _FRAME_HEADER)
    sizes = [_BLOCK] * (count // _BLOCK) + ([count % _BLOCK] if count % _BLOCK else [])
    for i, size in enumerate(sizes):
        out += _block_header(i == len(sizes) - 1, 1, size) + bytes([byte])
    return bytes(out)


# ---- Ed25519 -------------------------------------------------------------------

_P = 2**255 - 19
_L = 2**252 + 27742317777372353535851937790883648493
_D = -121665 * pow(121666, _P - 2, _P) % _P
_BY = 4 * pow(5, _P - 2, _P) % _P


def _recover_x(y):
    xx = (y * y - 1) * pow(_D * y * y + 1, _P - 2, _P)
    x = pow(xx, (_P + 3) // 8, _P)
    if (x * x - xx) % _P:
        x = x * pow(2, (_P - 1) // 4, _P) % _P
    return _P - x if x % 2 else x


_B = (_recover_x(_BY), _BY, 1, _recover_x(_BY) * _BY % _P)


def _add(a, b):
    x1, y1, z1, t1 = a
    x2, y2, z2, t2 = b
    e, f = (y1 - x1) * (y2 - x2) % _P, (y1 + x1) * (y2 + x2) % _P
    g, h = t1 * 2 * _D * t2 % _P, z1 * 2 * z2 % _P
    e, f, g, h = f - e, h - g, h + g, f + e
    return e * f % _P, g * h % _P, f * g % _P, e * h % _P


def _times(n, point):
    out = (0, 1, 1, 0)
    while n:
        if n & 1:
            out = _add(out, point)
        point, n = _add(point, point), n >> 1
    return out


def _encode(point):
    x, y, z, _ = point
    zi = pow(z, _P - 2, _P)
    x, y = x * zi % _P, y * zi % _P
    return (y | (x & 1) << 255).to_bytes(32, "little")


def _expand(seed):
    h = hashlib.sha512(seed).digest()
    a = int.from_bytes(h[:32], "little") & ((1 << 254) - 8) | 1 << 254
    return a, h[32:]


def public_key(seed):
    return _encode(_times(_expand(seed)[0], _B))


def sign(seed, message):
    a, prefix = _expand(seed)
    pk = _encode(_times(a, _B))
    r = int.from_bytes(hashlib.sha512(prefix + message).digest(), "little") % _L
    big_r = _encode(_times(r, _B))
    k = int.from_bytes(hashlib.sha512(big_r + pk + message).digest(), "little") % _L
    return big_r + ((r + k * a) % _L).to_bytes(32, "little")


# ---- Tables of contents and manifests ----------------------------------------


def manifest(toc, predecessor):
    return compact({
        "domain": ALGORITHM, "format": toc["format"], "version": toc["version"], "generation": toc["generation"],
        "created_at": toc["created_at"], "original_size": toc["original_size"],
        "segments": [{"name": s["name"], "original_size": s["original_size"], "sha256": s["sha256"]}
                     for s in toc["segments"]],
        "holds": toc.get("holds", []), "previous_manifest_sha256": predecessor,
    })


def sign_toc(toc, seed, predecessor):
    m = manifest(toc, predecessor)
    toc["authenticity"] = {"algorithm": ALGORITHM, "public_key": public_key(seed).hex(),
                           "manifest_sha256": sha256_hex(m), "previous_manifest_sha256": predecessor,
                           "signature": sign(seed, m).hex()}


def manifest_dict(toc):
    """What inspect_container and verify_container give for a TOC."""
    keys = ("format", "version", "generation", "created_at", "original_size", "stored_size")
    out = {k: toc[k] for k in keys}
    out["holds"] = toc.get("holds", [])
    out["authenticity"] = toc.get("authenticity")
    out["segments"] = toc["segments"]
    return out


# ---- Containers --------------------------------------------------------------


class Container:
    """A layout-2 container built generation by generation in memory.

    add() takes the files as {name: bytes} in segment order; a file equal to
    the previous generation's reuses its stored bytes. `stored` gives the
    stored bytes of some files instead of their encoding by `codec`. `edit` changes the TOC
    before it is signed (with the 32-byte `key` seed) and written, and leaves
    the frame as it was meant; `edit_frame` changes the frame's field list
    (FRAME order) before it is packed.
    """

    def __init__(self, first_generation=1):
        self.data = bytearray(HEADER.pack(b"VKPC", 2, 0, 1_700_000_000, 0, 0, bytes(32)))
        self.tocs, self.files, self.starts = [], [], []
        self.next = first_generation

    def add(self, files, *, codec="raw", stored=None, key=None, edit=None, edit_frame=None):
        start = len(self.data)
        area = bytearray()
        previous = {s["name"]: s for s in self.tocs[-1]["segments"]} if self.tocs else {}
        segments = []
        for name, content in files.items():
            digest = sha256_hex(content)
            old = previous.get(name)
            if old and old["sha256"] == digest:
                segments.append(dict(old))
                continue
            data = (stored or {}).get(name) or (zstd_frame(content) if codec == "zstd" else content)
            segments.append({"name": name, "offset": start + FRAME.size + len(area), "stored_size": len(data),
                             "original_size": len(content), "codec": codec, "sha256": digest})
            area += data
        generation, created_at = self.next, 1_700_000_000 + self.next
        toc = {"format": FORMAT, "version": 2, "generation": generation, "created_at": created_at,
               "segments": segments, "original_size": sum(s["original_size"] for s in segments),
               "stored_size": sum(s["stored_size"] for s in segments),
               "holds": list(self.tocs[-1]["holds"]) if self.tocs else []}
        if edit:
            edit(toc)
        if key:
            last = self.tocs[-1].get("authenticity") if self.tocs else None
            sign_toc(toc, key, last["manifest_sha256"] if last else None)
        toc_bytes = compact(toc)
        fields = [b"VKGN", 1, 0, generation, created_at, FRAME.size + len(area) + len(toc_bytes),
                  FRAME.size + len(area), len(toc_bytes), hashlib.sha256(toc_bytes).digest()]
        if edit_frame:
            edit_frame(fields)
        self.data += FRAME.pack(*fields) + area + toc_bytes
        self.next += 1
        self.tocs.append(toc)
        self.files.append(dict(files))
        self.starts.append(start)
        return toc

    def bytes(self):
        return bytes(self.data)

    def write(self, path):
        path.write_bytes(self.data)
        return str(path)


def v1_container(files, edit=None):
    """A layout-1 container: header, the files' bytes, the one TOC at the end."""
    area = bytearray()
    segments = []
    for name, content in files:
        segments.append({"name": name, "offset": HEADER.size + len(area), "stored_size": len(content),
                         "original_size": len(content), "codec": "raw", "sha256": sha256_hex(content)})
        area += content
    toc = {"format": FORMAT, "version": 1, "created_at": 1_600_000_000, "segments": segments,
           "original_size": len(area), "stored_size": len(area)}
    if edit:
        edit(toc)
    toc_bytes = compact(toc)
    header = HEADER.pack(b"VKPC", 1, 0, toc["created_at"], HEADER.size + len(area), len(toc_bytes),
                         hashlib.sha256(toc_bytes).digest())
    return header + bytes(area) + toc_bytes
